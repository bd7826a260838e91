// The console's hourly work with the real program offscreen (the driver, ticking every second)
// against the local web host's releases: content releases are deployed, a newer console release
// is offered in one prompt, and an accepted upgrade runs the real console launcher.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <iostream>

#include "ConsoleHarness.h"
#include "ReleaseServer.h"
#include "Sandbox.h"
#include "ShopActions.h"
#include "Strays.h"
#include "WaitFor.h"
#include "console/ConsoleSettings.h"
#include "platform/Registry.h"

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

constexpr auto kLimit = 20s;
constexpr std::string_view kServerPath = "releases/Zentrova/NubraServer/Update/";
constexpr std::string_view kPromptText = "墨维收银台软件检测到更新版本，建议立即更新！";
constexpr std::string_view kHourlyWorkDone = "Hourly content update";

std::size_t Count(const std::string& text, std::string_view part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class SelfUpdateE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(m_seat.FeedbackPort(), 0);
        m_ports = {FreePort(), m_seat.FeedbackPort(), FreeUdpPort()};
        WriteConsoleSettings(m_front, m_ports, kLoginAtStart);
        m_sandbox.WriteFile("console/SeatList.xml",
                            "<SeatList><Seat IP=\"127.0.0.1\">A8</Seat></SeatList>");
        m_sandbox.WriteFile("console/RequestReceived.html", "<html><body>notice</body></html>");
        SetConsoleSetting("UpdateServerAddress", m_releases.Address());
    }

    void TearDown() override {
        m_console.reset();
        KillProgramsUnder(m_sandbox.Path());
        if (HasFailure()) {
            std::cerr << "--- console output\n"
                      << Output() << "--- dialog log\n"
                      << zn::test::ReadFile(Log()).value_or("") << "--- releases requested\n";
            for (const std::string& request : m_releases.Requests()) {
                std::cerr << request << "\n";
            }
        }
    }

    std::filesystem::path Folder() const { return m_sandbox.Path() / "console"; }
    std::filesystem::path Log() const { return m_sandbox.Path() / "dialogs.jsonl"; }
    std::string Output() const {
        // The console launcher writes here too: the console hands it its output.
        return zn::test::ReadFile(Folder() / "console-output.txt").value_or("");
    }

    void SetConsoleSetting(std::string_view name, const std::string& value) const {
        const Registry registry(Registry::DefaultFolder());
        registry.CreateKey(RegistryRoot::LocalMachine, console::kConsoleKeyPath)
            ->SetString(name, value);
    }

    void Publish(const std::string& file, std::string_view content) const {
        m_sandbox.WriteFile(std::string(kServerPath) + file, content);
    }

    // The no-tray notice is answered first, then whatever the test says.
    void StartConsole(const std::string& answers) {
        m_console = std::make_unique<ConsoleProcess>(
            m_sandbox, Folder(), Log(), "ok," + answers, ConsoleProgram::Driver,
            std::vector<std::string>{"--update-period-ms=1000"});
        ASSERT_TRUE(m_console->Started());
    }

    bool WaitForHourlyWork(std::size_t runs) const {
        return zn::test::WaitFor([&] { return Count(Output(), kHourlyWorkDone) >= runs; }, kLimit);
    }

    std::size_t Prompts() const {
        return CountDialogLines(Log(), {"\"kind\":\"dialog\"", kPromptText});
    }

    zn::test::Sandbox m_sandbox;
    BackOfficeFront m_front;
    ScriptedSeat m_seat;
    ConsolePorts m_ports;
    ReleaseServer m_releases{m_sandbox.Path() / "releases"};
    std::unique_ptr<ConsoleProcess> m_console;
};

TEST_F(SelfUpdateE2eTest, NewerReleaseIsOfferedOnceOverSeveralTicks) {
    Publish("Version.xml", "<R><Version_File Update=\"2024-03-01 09:00:00\"/></R>");
    ASSERT_NO_FATAL_FAILURE(StartConsole("open"));
    ASSERT_TRUE(WaitForDialogLine(Log(), {kPromptText, "\"answer\":\"open\""}, kLimit))
        << "no prompt";
    ASSERT_TRUE(WaitForHourlyWork(4)) << "the ticks stopped";
    EXPECT_EQ(Prompts(), 1u) << "a second prompt over the open one";
    EXPECT_TRUE(m_console->Running());
}

TEST_F(SelfUpdateE2eTest, EqualStampsOfferNothing) {
    Publish("Version.xml", "<R><Version_File Update=\"2024-03-01 09:00:00\"/></R>");
    m_sandbox.WriteFile("console/Version.xml",
                        "<R><Version_File Update=\"2024-03-01 09:00:00\"/></R>");
    ASSERT_NO_FATAL_FAILURE(StartConsole(""));
    ASSERT_TRUE(WaitForHourlyWork(3));
    EXPECT_EQ(Prompts(), 0u);
}

TEST_F(SelfUpdateE2eTest, ContentReleaseIsDeployedWithItsScript) {
    Publish(
        "ContentUpdate.xml",
        "<R><Version_File Update=\"2024-03-01\" Container=\"files/\" UserName=\"nubra\" "
        "Password=\"update-2024\"/><Module ModuleName=\"Banner\" ModulePath=\"skin\\banner.txt\" "
        "Update=\"2024-03-01\" CopyTo=\"Skin\\banner.txt\"/><Finalize Action=\"Misc\"><Registry "
        "Path=\"ZentrovaConsole\\Content\" Name=\"Release\" Value=\"2024-03-01\"/></Finalize></R>");
    Publish("files/skin/banner.txt", "spring offers");
    ASSERT_NO_FATAL_FAILURE(StartConsole(""));
    EXPECT_TRUE(zn::test::WaitFor(
        [&] { return zn::test::ReadFile(Folder() / "Skin/banner.txt") == "spring offers"; },
        kLimit))
        << "the module was not copied into place";
    const Registry registry(Registry::DefaultFolder());
    EXPECT_TRUE(zn::test::WaitFor(
        [&] {
            const auto key = registry.OpenKey(RegistryRoot::LocalMachine,
                                              "SOFTWARE\\Pexora\\ZentrovaConsole\\Content");
            return key && key->QueryString("Release") == "2024-03-01";
        },
        kLimit))
        << "the script's Finalize step did not run";
    EXPECT_TRUE(std::filesystem::exists(Folder() / "ContentUpdate.xml"));
}

TEST_F(SelfUpdateE2eTest, OrderIsAnnouncedWhileAModuleDownloadHangs) {
    Publish(
        "ContentUpdate.xml",
        "<R><Version_File Update=\"2024-03-01\" Container=\"files/\"/><Module ModuleName=\"Big\" "
        "ModulePath=\"big.bin\" CopyTo=\"big.bin\"/></R>");
    Publish("files/big.bin", std::string(64 * 1024, 'x'));
    m_releases.Hold("/Zentrova/NubraServer/Update/files/big.bin");
    ASSERT_NO_FATAL_FAILURE(StartConsole(""));
    ASSERT_TRUE(m_releases.WaitForHeld(kLimit)) << "the module download did not begin";

    ASSERT_TRUE(m_seat.GreetWhenAdmitted(m_ports.local, kLimit).has_value());
    const std::string serial = m_front.CreateOrder("A8");
    ASSERT_FALSE(serial.empty());
    ASSERT_TRUE(m_seat.Order(serial));
    EXPECT_TRUE(WaitForDialogLine(
        Log(), {"\"kind\":\"popup\"", "收到来自客户 127.0.0.1[座号：A8] 的商品购买请求！"}, kLimit))
        << "the counter froze during the download";
    EXPECT_TRUE(m_front.WaitForPage("/jsp/empManage/noProcessInfo.jsp?transid=" + serial, kLimit));
    EXPECT_TRUE(zn::test::WaitFor(
        [&] { return Output().find("this tick is skipped") != std::string::npos; }, kLimit))
        << "the next tick did not wait for the held run";
    EXPECT_EQ(Count(Output(), kHourlyWorkDone), 0u) << "the held run did not hold";
}

TEST_F(SelfUpdateE2eTest, AcceptedUpgradeRunsTheConsoleLauncherWhichUpgradesAndRestarts) {
    // The new release's console is the product program itself, under the file of the old one.
    std::filesystem::create_directories(m_sandbox.Path() / kServerPath / "bin");
    std::filesystem::copy_file(ZN_CONSOLE_PROGRAM, m_sandbox.Path() / kServerPath / "bin/console");
    Publish(
        "Version.xml",
        "<R><Version_File Update=\"2024-03-01\" Container=\"bin/\"/><Module ModuleName=\"Console\" "
        "ModulePath=\"console\" Update=\"2024-03-01\" CopyTo=\"ZentrovaNubraConsole\"/></R>");
    std::filesystem::create_directories(Folder());
    std::filesystem::copy_file(ZN_CONSOLE_LAUNCHER, Folder() / "LaunchNubraServer");
    ASSERT_NO_FATAL_FAILURE(StartConsole("ok"));
    struct stat before {};
    ASSERT_EQ(stat((Folder() / "ZentrovaNubraConsole").c_str(), &before), 0);

    EXPECT_EQ(m_console->WaitForExit(kLimit), 0) << "the console did not end after the accept";
    EXPECT_TRUE(zn::test::WaitFor([&] { return std::filesystem::exists(Folder() / "Version.xml"); },
                                  kLimit))
        << "the launcher did not record the new release";
    struct stat after {};
    ASSERT_EQ(stat((Folder() / "ZentrovaNubraConsole").c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "the console file was not replaced";
    EXPECT_EQ(std::filesystem::file_size(Folder() / "ZentrovaNubraConsole"),
              std::filesystem::file_size(ZN_CONSOLE_PROGRAM));
    EXPECT_TRUE(zn::test::WaitFor([&] { return m_seat.Greet(m_ports.local).has_value(); }, kLimit))
        << "the upgraded console did not start again";
}

}  // namespace
}  // namespace zn::e2e
