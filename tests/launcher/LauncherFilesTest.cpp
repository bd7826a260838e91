// What the launchers start and wait for: the client named in the working folder's settings, with
// the launcher's arguments, and the end of the console's program.
#include <gtest/gtest.h>
#include <signal.h>

#include "ChildPrograms.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "launcher/ClientStart.h"
#include "launcher/ConsoleRestart.h"
#include "platform/Child.h"
#include "platform/ProcessesByName.h"
#include "platform/Registry.h"

namespace zn::launcher {
namespace {

using namespace std::chrono_literals;

class LauncherFilesTest : public ::testing::Test {
protected:
    zn::test::Sandbox m_sandbox;
    zn::test::ScopedCurrentDirectory m_inSandbox{m_sandbox.Path()};
};

TEST_F(LauncherFilesTest, ClientGetsTheArgumentsAsItsCommandLineSplitsThem) {
    const std::string name = zn::test::UniqueProgramName("seat");
    zn::test::InstallChild(m_sandbox.Path() / "program", name);
    m_sandbox.WriteFile("gameclient.dat", "[PROFILE_QZ]\r\nMain=" + name + "\r\n");
    const auto record = m_sandbox.Path() / "record.txt";
    const zn::test::ScopedEnv recording("ZN_CHILD_RECORD", record.string());
    // A customer's program dropped beside the client, named as Windows would name it.
    const auto planted = m_sandbox.WriteFile(
        "program/" + name + ".exe",
        "#!/bin/sh\necho planted >" + (m_sandbox.Path() / "planted.txt").string() + "\n");
    std::filesystem::permissions(planted, std::filesystem::perms::owner_all);

    ASSERT_TRUE(StartClient(m_sandbox.Path() / "program", {"a", "b c", "-p"}));
    ASSERT_TRUE(zn::test::WaitFor([&] { return zn::test::RecordedRuns(record).size() == 1; }));
    ASSERT_TRUE(StartClient(m_sandbox.Path() / "program", {}));
    ASSERT_TRUE(zn::test::WaitFor([&] { return zn::test::RecordedRuns(record).size() == 2; }));
    EXPECT_EQ(zn::test::RecordedRuns(record), (std::vector<std::string>{"a|b|c|-p", ""}));
    EXPECT_FALSE(std::filesystem::exists(m_sandbox.Path() / "planted.txt"));

    m_sandbox.WriteFile("gameclient.dat", "[PROFILE_QZ]\r\nMain=NoSuchSeatProgram\r\n");
    EXPECT_FALSE(StartClient(m_sandbox.Path() / "program", {"a"}));
}

TEST_F(LauncherFilesTest, NoSecondConsoleStartsBesideOneThatIsEnding) {
    const auto folder = m_sandbox.Path() / "program";
    const auto console = zn::test::InstallChild(folder, std::string(kConsoleProgram));
    const auto record = m_sandbox.Path() / "record.txt";
    const zn::test::ScopedEnv recording("ZN_CHILD_RECORD", record.string());
    Child ending;
    {
        const zn::test::ScopedEnv staying("ZN_CHILD_STAY", "1");
        ASSERT_EQ(StartChild(console.string(), {console.string()}, {}, ending), 0);
    }
    ASSERT_TRUE(zn::test::WaitFor([&] { return zn::test::RecordedRuns(record).size() == 1; }));
    std::vector<std::string> shown;
    EXPECT_EQ(UpgradeConsole(
                  Registry(m_sandbox.RegistryFolder()), folder,
                  [&shown](std::string_view text) { shown.emplace_back(text); }, 300ms),
              UpdateResult::NotInstalled);
    EXPECT_EQ(shown, (std::vector<std::string>{std::string(kProgressWaitingForConsole),
                                               std::string(kProgressNotInstalled)}));
    EXPECT_FALSE(StartConsole(folder, 300ms));
    EXPECT_EQ(zn::test::RecordedRuns(record).size(), 1u);

    ending.Signal(SIGKILL);
    ASSERT_TRUE(ending.Wait(5s));
    EXPECT_TRUE(StartConsole(folder, 5s));
    EXPECT_TRUE(zn::test::WaitFor([&] { return zn::test::RecordedRuns(record).size() == 2; }));
}

TEST_F(LauncherFilesTest, ProgramEndsWhenItsProcessIsGoneEvenBeforeItIsReaped) {
    const auto program =
        zn::test::InstallChild(m_sandbox.Path() / "program", zn::test::UniqueProgramName("con"));
    const zn::test::ScopedEnv staying("ZN_CHILD_STAY", "1");
    Child child;
    ASSERT_EQ(StartChild(program.string(), {program.string()}, {}, child), 0);
    EXPECT_TRUE(IsProgramRunning(program));
    EXPECT_FALSE(WaitForProgramEnd(program, 300ms));
    EXPECT_FALSE(IsProgramRunning(m_sandbox.Path() / "program" / "other"));

    child.Signal(SIGKILL);  // a zombie until reaped below
    EXPECT_TRUE(WaitForProgramEnd(program, 5s));
    EXPECT_TRUE(child.Wait(5s));
}

}  // namespace
}  // namespace zn::launcher
