// The launcher and the seat's update service over its socket: the real service program serving
// the sandbox's program folder, the launcher's side as the launcher runs it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "RawHttpServer.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "WebHost.h"
#include "launcher/UpdateServiceClient.h"
#include "platform/UnixSocket.h"
#include "seatupdate/UpdateService.h"

namespace zn::launcher {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

constexpr const char* kClientPath = "Zentrova/NubraClient_Murvel/Update/";
constexpr const char* kManifest = "<R><Version_File Update=\"2024-03-01\"/></R>";

class UpdateServiceTest : public ::testing::Test {
protected:
    std::filesystem::path Program() const { return m_sandbox.Path() / "program"; }
    std::filesystem::path Socket() const { return m_sandbox.Path() / "update.socket"; }
    std::filesystem::path Record() const { return Program() / "Release/Version.xml"; }

    void ServeReleasesFrom(int port) {
        m_sandbox.WriteFile(
            "program/gameclient.dat",
            "[PROFILE_QZ]\r\nUpdateServerAddress=127.0.0.1:" + std::to_string(port) +
                "\r\nUpdateServerPath=" + kClientPath + "\r\n");
    }

    void StartWebHost() {
        webhost::WebHostConfig config;
        config.releasesFolder = m_sandbox.Path() / "releases";
        config.logRequests = false;
        m_host = std::make_unique<webhost::WebHost>(config);
        const auto port = m_host->Start(0);
        ASSERT_TRUE(port);
        ServeReleasesFrom(*port);
    }

    // The manifest trickles in over about two seconds.
    void ServeATricklingManifest() {
        const std::string manifest(kManifest);
        m_trickle = std::make_unique<test::RawHttpServer>(
            test::HttpAnswer(
                "200 OK", "Content-Length: " + std::to_string(manifest.size()) + "\r\n", manifest),
            25ms);
        ServeReleasesFrom(m_trickle->Port());
    }

    void StartService() {
        m_service = std::make_unique<test::ChildProcess>(
            test::ChildOptions{.arguments = {ZN_SEAT_UPDATE, "--folder", Program().string(),
                                             "--listen", Socket().string()},
                               .log = m_sandbox.Path() / "service.log"});
        ASSERT_TRUE(test::WaitFor([this] { return std::filesystem::exists(Socket()); }))
            << test::ReadFile(m_sandbox.Path() / "service.log").value_or("");
    }

    UpdateResult Run(ServiceDeadline manifestDeadline = std::chrono::steady_clock::now() + 10s) {
        m_shown.clear();
        return RunThroughUpdateService(Socket(), manifestDeadline, [this](std::string_view text) {
            m_shown.emplace_back(text);
        });
    }

    test::Sandbox m_sandbox;
    std::unique_ptr<webhost::WebHost> m_host;
    std::unique_ptr<test::RawHttpServer> m_trickle;
    std::unique_ptr<test::ChildProcess> m_service;
    Strings m_shown;
};

TEST_F(UpdateServiceTest, TheLauncherShowsTheServiceRunAsItGoesAndTheReleaseLands) {
    ASSERT_NO_FATAL_FAILURE(StartWebHost());
    m_sandbox.WriteFile(std::string("releases/") + kClientPath + "Version.xml",
                        "<R><Version_File Update=\"2024-03-01\"/><Module ModuleName=\"S\" "
                        "ModulePath=\"skin\\s.css\" Update=\"2024-03-01\"/></R>");
    m_sandbox.WriteFile(std::string("releases/") + kClientPath + "skin/s.css", "body{}");

    EXPECT_EQ(Run(), UpdateResult::ManifestNotFetched);
    EXPECT_EQ(m_shown, Strings{std::string(kProgressNoServer)});

    ASSERT_NO_FATAL_FAILURE(StartService());
    EXPECT_EQ(Run(), UpdateResult::Updated);
    EXPECT_EQ(m_shown, (Strings{std::string(kProgressChecking), std::string(kProgressDownloading),
                                std::string(kProgressDeploying)}));
    EXPECT_EQ(test::ReadFile(Program() / "Content/skin/s.css"), "body{}");
    EXPECT_TRUE(std::filesystem::exists(Record()));
    EXPECT_FALSE(std::filesystem::exists(Program() / "Version.xml"));

    EXPECT_EQ(Run(), UpdateResult::Current);
    EXPECT_EQ(m_shown, Strings{std::string(kProgressChecking)});
}

// The answer trickles in over about two seconds; a run that was not killed would record it. The
// launcher gives up at its manifest deadline as it does without the service, and hangs up.
TEST_F(UpdateServiceTest, ALauncherThatGivesUpBeforeDeployingAbandonsTheRunAndItRecordsNothing) {
    ASSERT_NO_FATAL_FAILURE(ServeATricklingManifest());
    ASSERT_NO_FATAL_FAILURE(StartService());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(start + 1s), UpdateResult::ManifestNotFetched);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(m_shown, (Strings{std::string(kProgressChecking), std::string(kProgressNoServer)}));
    std::this_thread::sleep_for(3s);
    EXPECT_FALSE(std::filesystem::exists(Record()));

    EXPECT_EQ(Run(), UpdateResult::Updated);
    EXPECT_TRUE(std::filesystem::exists(Record()));
}

// While one run fetches the trickling manifest, a second launcher's run waits for it and shows
// nothing yet: the two never fetch (nor write Content/) together.
TEST_F(UpdateServiceTest, RunsOfTwoLaunchersTakeTurns) {
    ASSERT_NO_FATAL_FAILURE(ServeATricklingManifest());
    ASSERT_NO_FATAL_FAILURE(StartService());

    struct Launcher {
        std::atomic<int> texts{0};
        UpdateResult result = UpdateResult::ManifestNotFetched;
    };
    const auto start = [this](Launcher& launcher) {
        return std::thread([this, &launcher] {
            launcher.result =
                RunThroughUpdateService(Socket(), std::chrono::steady_clock::now() + 10s,
                                        [&launcher](std::string_view) { ++launcher.texts; });
        });
    };
    Launcher first;
    Launcher second;
    std::thread firstRun = start(first);
    ASSERT_TRUE(test::WaitFor([&] { return first.texts > 0 && m_trickle->Connections() == 1; }));
    std::thread secondRun = start(second);
    EXPECT_FALSE(test::WaitFor([&] { return second.texts > 0; }, 1s))
        << "the second run did not wait for the first";
    firstRun.join();
    secondRun.join();
    EXPECT_EQ(first.result, UpdateResult::Updated);
    EXPECT_EQ(second.result, UpdateResult::Current);
}

// The end of a connection, as its launcher sees it by the deadline: Closed or Failed (reset).
LineStatus EndSeen(int fd, std::chrono::milliseconds limit) {
    LineReader reader(fd, kMaxServiceLineBytes);
    std::string line;
    LineStatus status = LineStatus::Line;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while ((status = reader.Next(line, deadline)) == LineStatus::Line) {
    }
    return status;
}

TEST_F(UpdateServiceTest, HostileConnectionsAreClosedAndHoldNoLauncherUp) {
    ASSERT_NO_FATAL_FAILURE(StartWebHost());
    m_sandbox.WriteFile(std::string("releases/") + kClientPath + "Version.xml", kManifest);
    ASSERT_NO_FATAL_FAILURE(StartService());

    const UniqueFd silent = ConnectUnixSocket(Socket());
    const UniqueFd garbage = ConnectUnixSocket(Socket());
    const UniqueFd huge = ConnectUnixSocket(Socket());
    ASSERT_TRUE(silent.IsValid() && garbage.IsValid() && huge.IsValid());
    SendText(garbage.Get(), std::string("\x00\xffrun\r\n", 7),
             std::chrono::steady_clock::now() + 1s);
    SendText(huge.Get(), std::string(1024 * 1024, 'r'), std::chrono::steady_clock::now() + 1s);

    // While they are open, a launcher is served.
    EXPECT_EQ(Run(), UpdateResult::Updated);

    const auto bound =
        std::chrono::duration_cast<std::chrono::milliseconds>(seatupdate::kRequestWait + 3s);
    EXPECT_NE(EndSeen(silent.Get(), bound), LineStatus::TimedOut);
    EXPECT_NE(EndSeen(garbage.Get(), bound), LineStatus::TimedOut);
    EXPECT_NE(EndSeen(huge.Get(), bound), LineStatus::TimedOut);
    EXPECT_TRUE(m_service->Running());
    EXPECT_EQ(Run(), UpdateResult::Current);
}

}  // namespace
}  // namespace zn::launcher
