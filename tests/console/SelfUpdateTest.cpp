// The console's hourly work against the local web host: the offer of a newer console release
// reaches one prompt, and an accepted upgrade starts the launcher named by "Launch".
#include <gtest/gtest.h>

#include "ChildPrograms.h"
#include "ConsoleWindowFakes.h"
#include "FakeServices.h"
#include "ReleaseSigner.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "WebHost.h"
#include "console/ConsoleSettings.h"
#include "console/SelfUpdate.h"
#include "platform/Registry.h"

namespace zn::console {
namespace {

constexpr std::string_view kVersionPath = "releases/Zentrova/NubraServer/Update/Version.xml";

class FakePrompt final : public IUpgradePrompt {
public:
    bool IsPromptShown() const override { return shown; }
    void ShowPrompt() override {
        shown = true;
        ++showCount;
    }
    void EndProgram(int code) override { endedWith = code; }

    bool shown = false;
    int showCount = 0;
    std::optional<int> endedWith;
};

class SelfUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        webhost::WebHostConfig config;
        config.releasesFolder = m_sandbox.Path() / "releases";
        config.logRequests = false;
        m_host = std::make_unique<webhost::WebHost>(config);
        const auto port = m_host->Start(0);
        ASSERT_TRUE(port);
        std::filesystem::create_directories(Program());
        SetSetting("UpdateServerAddress", "127.0.0.1:" + std::to_string(*port));
    }

    std::filesystem::path Program() const { return m_sandbox.Path() / "program"; }

    void SetSetting(std::string_view name, const std::string& value) {
        m_registry.CreateKey(RegistryRoot::LocalMachine, kConsoleKeyPath)->SetString(name, value);
    }

    // One tick's work, to its end, and then what it handed to the UI thread.
    void Tick() {
        m_update.RunHourlyWork();
        ASSERT_TRUE(zn::test::WaitFor([&] { return !m_update.IsRunning(); }))
            << "the hourly work did not end";
        m_window.RunPosted();
    }

    zn::test::Sandbox m_sandbox;
    std::unique_ptr<webhost::WebHost> m_host;
    Registry m_registry{m_sandbox.RegistryFolder()};
    zn::test::FakeServices m_services;
    test::FakeConsoleWindow m_window;
    FakePrompt m_prompt;
    SelfUpdate m_update{SelfUpdateContext{m_registry, m_sandbox.Path() / "program", m_services,
                                          m_sandbox.DriveC() / "update.txt", m_window, m_window,
                                          m_prompt}};
};

TEST_F(SelfUpdateTest, NewerReleaseIsOfferedInOnePromptWhateverTheTicks) {
    m_sandbox.WriteFile(kVersionPath, "<R><Version_File Update=\"2024-03-01 09:00:00\"/></R>");
    Tick();
    EXPECT_EQ(m_prompt.showCount, 1);
    Tick();
    Tick();
    EXPECT_EQ(m_prompt.showCount, 1) << "a second prompt over the open one";

    // Dismissed, it comes back at the next tick that still finds the newer release.
    m_prompt.shown = false;
    Tick();
    EXPECT_EQ(m_prompt.showCount, 2);
}

TEST_F(SelfUpdateTest, WithAnUpdatePublicKeyOnlyASignedReleaseIsOffered) {
    const zn::test::ReleaseSigner signer(m_sandbox.Path() / "key");
    ASSERT_TRUE(signer.Ok());
    SetSetting("UpdatePublicKey", signer.PublicKey());
    const auto version =
        m_sandbox.WriteFile(kVersionPath, "<R><Version_File Update=\"2024-03-01 09:00:00\"/></R>");
    Tick();
    EXPECT_EQ(m_prompt.showCount, 0) << "an unsigned release was offered";
    ASSERT_TRUE(signer.Sign(version));
    Tick();
    EXPECT_EQ(m_prompt.showCount, 1);
}

TEST_F(SelfUpdateTest, AcceptedUpgradeStartsTheLauncherFromTheConsoleFolderAndEnds) {
    const std::string name = zn::test::UniqueProgramName("launch");
    zn::test::InstallChild(Program(), name);
    const auto record = m_sandbox.Path() / "record.txt";
    const zn::test::ScopedEnv recording("ZN_CHILD_RECORD", record.string());
    SetSetting("Launch", name);

    m_update.OnPromptAccepted();
    EXPECT_TRUE(zn::test::WaitFor([&] { return zn::test::RecordedRuns(record).size() == 1; }))
        << "the launcher in the console's folder was not started";
    EXPECT_EQ(m_prompt.endedWith, 0);
    EXPECT_TRUE(m_window.CallsStartingWith("Message:").empty());
}

TEST_F(SelfUpdateTest, LauncherThatCannotStartLeavesTheConsoleRunningAndSaysSo) {
    // A path with arguments is one quoted program name, which does not exist.
    SetSetting("Launch", "/opt/zentrova/LaunchNubraServer --now");
    m_update.OnPromptAccepted();
    EXPECT_FALSE(m_prompt.endedWith) << "the counter was left without a console";
    const auto messages = m_window.CallsStartingWith("Message:");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages.front().find("“/opt/zentrova/LaunchNubraServer --now”"), std::string::npos)
        << messages.front();
}

}  // namespace
}  // namespace zn::console
