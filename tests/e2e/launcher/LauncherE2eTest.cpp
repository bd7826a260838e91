// The real LaunchNubraClient offscreen against the local web host's releases: it updates the
// seat client's files, then starts the client (the test child, which records its arguments).
#include <gtest/gtest.h>

#include <iostream>

#include "ChildProcess.h"
#include "ChildPrograms.h"
#include "ProgramProcess.h"
#include "RawHttpServer.h"
#include "ReleaseServer.h"
#include "ReleaseSigner.h"
#include "Sandbox.h"
#include "WaitFor.h"

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

// The window's start included; generous for a loaded machine.
constexpr auto kLimit = 20s;
constexpr std::string_view kClientPath = "Zentrova/NubraClient_Murvel/Update/";

class LauncherProcess : public ProgramProcess {
public:
    LauncherProcess(const zn::test::Sandbox& sandbox, const std::filesystem::path& folder,
                    std::vector<std::string> arguments)
        : ProgramProcess(sandbox, {.source = ZN_LAUNCHER_DRIVER,
                                   .name = "LaunchNubraClient",
                                   .folder = folder,
                                   .arguments = std::move(arguments),
                                   .output = folder / "launcher-output.txt",
                                   .dialogLog = folder / "dialogs.jsonl",
                                   .takesInput = true}) {}

    bool PressEsc() { return WriteInput("esc\n"); }
};

class LauncherE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        zn::test::InstallChild(Seat(), m_client);
        WriteSettings(m_server.Address(), m_client);
    }

    void TearDown() override {
        if (HasFailure()) {
            std::cerr << "--- launcher output\n" << Output() << "--- requests\n";
            for (const std::string& request : m_server.Requests()) {
                std::cerr << request << "\n";
            }
        }
    }

    std::filesystem::path Seat() const { return m_sandbox.Path() / "seat"; }
    std::string Output() const {
        return zn::test::ReadFile(Seat() / "launcher-output.txt").value_or("");
    }
    std::vector<std::string> ClientRuns() const { return zn::test::RecordedRuns(m_record); }
    std::filesystem::path LogFile() const {
        return m_sandbox.DriveC() / "log" / "LaunchNubraClient.log";
    }

    void WriteSettings(const std::string& address, const std::string& main,
                       const std::string& publicKey = "", const std::string& service = "") const {
        m_sandbox.WriteFile("seat/gameclient.dat", "[PROFILE_QZ]\r\nMain=" + main +
                                                       "\r\nUpdateServerAddress=" + address +
                                                       "\r\nUpdatePublicKey=" + publicKey +
                                                       "\r\nUpdateService=" + service + "\r\n");
    }

    // A release of two modules whose files need the manifest's credentials.
    void PublishRelease(const std::string& stamp) const {
        const std::string folder = "releases/" + std::string(kClientPath);
        m_sandbox.WriteFile(
            folder + "Version.xml",
            "<R><Version_File Update=\"" + stamp +
                "\" Container=\"files/\" UserName=\"seat\" Password=\"pw\"/>"
                "<Module ModuleName=\"Skin\" ModulePath=\"skin\\seat.css\" Update=\"" +
                stamp + "\"/><Module ModuleName=\"Help\" ModulePath=\"help.html\" Update=\"" +
                stamp + "\"/></R>");
        m_sandbox.WriteFile(folder + "files/skin/seat.css", "body{}" + std::string(4096, ' '));
        m_sandbox.WriteFile(folder + "files/help.html", "<p>help</p>");
    }

    // Runs the launcher to its end; its exit code.
    std::optional<int> RunLauncher(std::vector<std::string> arguments = {}) {
        LauncherProcess launcher(m_sandbox, Seat(), std::move(arguments));
        EXPECT_TRUE(launcher.Started());
        return launcher.WaitForExit(kLimit);
    }

    zn::test::Sandbox m_sandbox;
    ReleaseServer m_server{m_sandbox.Path() / "releases"};
    std::string m_client = zn::test::UniqueProgramName("seat-client");
    std::filesystem::path m_record = m_sandbox.Path() / "client-runs.txt";
    zn::test::ScopedEnv m_recording{"ZN_CHILD_RECORD", m_record.string()};
};

TEST_F(LauncherE2eTest, FetchesTheReleaseThenStartsTheClientWithItsArguments) {
    PublishRelease("2024-03-01 09:00:00");
    EXPECT_EQ(RunLauncher({"-p", "a b", "c"}), 0);
    ASSERT_TRUE(zn::test::WaitFor([&] { return ClientRuns().size() == 1; }, kLimit));
    EXPECT_EQ(ClientRuns().front(), "-p|a|b|c");
    EXPECT_EQ(zn::test::ReadFile(Seat() / "Content/help.html"), "<p>help</p>");
    EXPECT_TRUE(std::filesystem::exists(Seat() / "Content/skin/seat.css"));
    EXPECT_TRUE(std::filesystem::exists(Seat() / "Version.xml"));
    for (const char* status :
         {"正在检查程序更新...请稍候", "正在下载程序更新...请稍候", "正在部署程序更新...请稍候"}) {
        EXPECT_NE(Output().find(std::string("Status: ") + status), std::string::npos) << status;
    }
}

TEST_F(LauncherE2eTest, WithTheSeatsKeySetOnlyASignedReleaseIsTaken) {
    const zn::test::ReleaseSigner signer(m_sandbox.Path() / "key");
    ASSERT_TRUE(signer.Ok());
    WriteSettings(m_server.Address(), m_client, signer.PublicKey());
    const auto release = m_sandbox.Path() / "releases" / kClientPath;
    PublishRelease("2024-03-01 09:00:00");
    for (const char* file : {"Version.xml", "files/skin/seat.css", "files/help.html"}) {
        ASSERT_TRUE(signer.Sign(release / file));
    }
    EXPECT_EQ(RunLauncher(), 0);
    EXPECT_EQ(zn::test::ReadFile(Seat() / "Content/help.html"), "<p>help</p>");
    EXPECT_NE(Output().find("Status: 正在部署程序更新...请稍候"), std::string::npos);

    // A newer release whose help page changed after it was signed: refused, the old page stays,
    // the release is not recorded, and the client starts all the same.
    PublishRelease("2024-04-01 09:00:00");
    for (const char* file : {"Version.xml", "files/skin/seat.css", "files/help.html"}) {
        ASSERT_TRUE(signer.Sign(release / file));
    }
    m_sandbox.WriteFile("releases/" + std::string(kClientPath) + "files/help.html", "<p>evil</p>");
    EXPECT_EQ(RunLauncher(), 0);
    EXPECT_EQ(zn::test::ReadFile(Seat() / "Content/help.html"), "<p>help</p>");
    EXPECT_NE(Output().find("Status: 无法下载服务器更新文件...程序更新失败"), std::string::npos);
    EXPECT_NE(zn::test::ReadFile(Seat() / "Version.xml").value_or("").find("2024-03-01"),
              std::string::npos);
    EXPECT_TRUE(zn::test::WaitFor([&] { return ClientRuns().size() == 2; }, kLimit));
}

TEST_F(LauncherE2eTest, CurrentReleaseFetchesOnlyTheManifest) {
    PublishRelease("2024-03-01 09:00:00");
    m_sandbox.WriteFile("seat/Version.xml",
                        "<R><Version_File Update=\"2024-03-01 09:00:00\"/></R>");
    EXPECT_EQ(RunLauncher(), 0);
    EXPECT_EQ(m_server.Requests(),
              std::vector<std::string>{"/" + std::string(kClientPath) + "Version.xml"});
    EXPECT_TRUE(zn::test::WaitFor([&] { return ClientRuns().size() == 1; }, kLimit));
    EXPECT_EQ(Output().find("正在下载"), std::string::npos);
}

TEST_F(LauncherE2eTest, ServerDownStillStartsTheClientAfterTheFailureText) {
    int closedPort = 0;
    {
        const ReleaseServer gone(m_sandbox.Path() / "releases");
        closedPort = gone.Port();
    }
    WriteSettings("127.0.0.1:" + std::to_string(closedPort), m_client);
    EXPECT_EQ(RunLauncher({"x"}), 0);
    EXPECT_TRUE(zn::test::WaitFor([&] { return ClientRuns().size() == 1; }, kLimit));
    const std::string output = Output();
    const auto failure = output.find("Status: 无法连接更新服务器...程序更新失败");
    ASSERT_NE(failure, std::string::npos) << output;
    EXPECT_GT(output.find("Client started"), failure) << "the client started before the failure";
}

TEST_F(LauncherE2eTest, EscDuringASlowDownloadStartsTheClientAndRecordsNothing) {
    PublishRelease("2024-03-01 09:00:00");
    m_server.Hold("/" + std::string(kClientPath) + "files/skin/seat.css");
    {
        LauncherProcess launcher(m_sandbox, Seat(), {"first"});
        ASSERT_TRUE(m_server.WaitForHeld(kLimit)) << "the module download did not begin";
        // A launcher that hangs here and is killed must leave its record.
        EXPECT_TRUE(zn::test::WaitFor(
            [&] {
                return zn::test::ReadFile(LogFile()).value_or("").find("正在下载程序更新") !=
                       std::string::npos;
            },
            500ms))
            << "the log file lags behind the launcher";
        ASSERT_TRUE(launcher.PressEsc());
        EXPECT_EQ(launcher.WaitForExit(kLimit), 0) << "Esc did not end the launcher";
    }
    EXPECT_TRUE(zn::test::WaitFor([&] { return ClientRuns().size() == 1; }, kLimit));
    EXPECT_FALSE(std::filesystem::exists(Seat() / "Version.xml")) << "an abandoned run recorded";

    // The next start fetches the release again, whole.
    m_server.Hold("");
    m_server.ReleaseHeld();
    EXPECT_EQ(RunLauncher({"second"}), 0);
    EXPECT_TRUE(std::filesystem::exists(Seat() / "Version.xml"));
    EXPECT_EQ(zn::test::ReadFile(Seat() / "Content/skin/seat.css").value_or("").size(), 4102u);
    EXPECT_TRUE(zn::test::WaitFor([&] { return ClientRuns().size() == 2; }, kLimit));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Seat())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with('.')) << "left " << entry.path();
    }
}

// One byte each 400 ms held the launcher for minutes. The client is due 15 s after the start;
// the bound here leaves room for a loaded machine and still fails a 20 s manifest deadline.
TEST_F(LauncherE2eTest, AManifestTrickledByteByByteStillStartsTheClientInTime) {
    zn::test::RawHttpServer trickle(
        zn::test::HttpAnswer("200 OK", "Content-Length: 100\r\n", std::string(100, ' ')), 400ms);
    WriteSettings("127.0.0.1:" + std::to_string(trickle.Port()), m_client);
    const auto start = std::chrono::steady_clock::now();
    LauncherProcess launcher(m_sandbox, Seat(), {"x"});
    ASSERT_TRUE(launcher.Started());
    ASSERT_TRUE(zn::test::WaitFor([&] { return ClientRuns().size() == 1; }, 60s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 18s);
    EXPECT_NE(Output().find("Status: 无法连接更新服务器...程序更新失败"), std::string::npos);
}

TEST_F(LauncherE2eTest, MainNamingNoProgramEndsWithoutStartingAnything) {
    WriteSettings(m_server.Address(), "NoSuchSeatClient");
    EXPECT_EQ(RunLauncher(), 1);
    EXPECT_TRUE(ClientRuns().empty());
    EXPECT_NE(Output().find("NoSuchSeatClient"), std::string::npos) << "the failure was not logged";

    PublishRelease("2024-03-01 09:00:00");
    m_server.Hold("/" + std::string(kClientPath) + "files/skin/seat.css");
    LauncherProcess launcher(m_sandbox, Seat(), {});
    ASSERT_TRUE(m_server.WaitForHeld(kLimit)) << "the module download did not begin";
    ASSERT_TRUE(launcher.PressEsc());
    EXPECT_EQ(launcher.WaitForExit(kLimit), 1) << "Esc hid that nothing was started";
    m_server.ReleaseHeld();
}

// A seat's way: the launcher asks the seat's update service (the real program, serving the seat's
// folder) for the run, shows its texts, and Esc abandons the service's run too.
TEST_F(LauncherE2eTest, ThroughTheUpdateServiceEscAbandonsItsRunAndTheNextStartTakesTheRelease) {
    const auto socket = m_sandbox.Path() / "update.socket";
    WriteSettings(m_server.Address(), m_client, "", socket.string());
    zn::test::ChildProcess service(
        {.arguments = {ZN_SEAT_UPDATE, "--folder", Seat().string(), "--listen", socket.string()},
         .log = m_sandbox.Path() / "service.log"});
    ASSERT_TRUE(zn::test::WaitFor([&] { return std::filesystem::exists(socket); }));
    const auto record = Seat() / "Release/Version.xml";
    PublishRelease("2024-03-01 09:00:00");
    m_server.Hold("/" + std::string(kClientPath) + "files/skin/seat.css");
    {
        LauncherProcess launcher(m_sandbox, Seat(), {"first"});
        ASSERT_TRUE(m_server.WaitForHeld(kLimit)) << "the service's download did not begin";
        ASSERT_TRUE(zn::test::WaitFor(
            [&] { return Output().find("Status: 正在下载程序更新") != std::string::npos; }, kLimit))
            << "the service's text did not reach the launcher";
        ASSERT_TRUE(launcher.PressEsc());
        EXPECT_EQ(launcher.WaitForExit(kLimit), 0) << "Esc did not end the launcher";
    }
    EXPECT_TRUE(zn::test::WaitFor([&] { return ClientRuns().size() == 1; }, kLimit));
    // Let the download go: a run the service did not kill would now record the release.
    m_server.Hold("");
    m_server.ReleaseHeld();
    EXPECT_FALSE(zn::test::WaitFor([&] { return std::filesystem::exists(record); }, 1s))
        << "an abandoned run recorded";

    EXPECT_EQ(RunLauncher({"second"}), 0);
    EXPECT_TRUE(std::filesystem::exists(record));
    EXPECT_FALSE(std::filesystem::exists(Seat() / "Version.xml"));
    EXPECT_EQ(zn::test::ReadFile(Seat() / "Content/skin/seat.css").value_or("").size(), 4102u);
    EXPECT_TRUE(zn::test::WaitFor([&] { return ClientRuns().size() == 2; }, kLimit));
    EXPECT_TRUE(service.Running());
}

}  // namespace
}  // namespace zn::e2e
