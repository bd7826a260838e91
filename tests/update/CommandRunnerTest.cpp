#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>

#include "ChildPrograms.h"
#include "LogCapture.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "platform/ProcessesByName.h"
#include "update/CommandLine.h"
#include "update/CommandRunner.h"

namespace zn {
namespace {

using Strings = std::vector<std::string>;

TEST(CommandLineTest, SplitsAsAWindowsProgramWould) {
    EXPECT_EQ(SplitCommandLine(BuildCommandLine("/opt/a b/tool", {"-x", "\"c:\\my file\""})),
              (Strings{"/opt/a b/tool", "-x", "c:\\my file"}));
    EXPECT_EQ(SplitCommandLine("\"p\" two words  \t tab"), (Strings{"p", "two", "words", "tab"}));
    EXPECT_EQ(SplitCommandLine("\"p\" a\"b c\"d \"\""), (Strings{"p", "ab cd", ""}));
    EXPECT_EQ(SplitCommandLine(BuildCommandLine("p", {})), (Strings{"p"}));
}

TEST(CommandRunnerTest, ResolvesTheCommandByItsFlags) {
    const std::filesystem::path folder = "/opt/zentrova";
    EXPECT_EQ(CommandRunner(1, "tools\\setup.exe", {}, folder).Path(),
              "/opt/zentrova/Content/tools/setup");
    EXPECT_EQ(CommandRunner(9, "setup", {}, folder).Path(), "/opt/zentrova/Content/setup");
    EXPECT_EQ(CommandRunner(8, "setup", {}, folder).Path(), "/opt/zentrova/setup");
    EXPECT_EQ(CommandRunner(0, "/usr/bin/setup", {}, folder).Path(), "/usr/bin/setup");
    EXPECT_EQ(CommandRunner(0, "regedit.EXE", {}, folder).Path(), "regedit");
}

class RunnerWithChild : public ::testing::Test {
protected:
    void SetUp() override { test::InstallChild(m_sandbox.Path() / "Content", "tool"); }

    std::filesystem::path Record() const { return m_sandbox.Path() / "record.txt"; }

    test::Sandbox m_sandbox;
    test::ScopedEnv m_record{"ZN_CHILD_RECORD", (m_sandbox.Path() / "record.txt").string()};
};

TEST_F(RunnerWithChild, ProgramGetsTheArgumentsAWindowsProgramWouldGet) {
    const CommandRunner runner(CommandRunner::kFromContentFolder | CommandRunner::kWaitForEnd,
                               "tool.exe", {"-a", "two words", "\"/opt/x y/file.txt\""},
                               m_sandbox.Path());
    ASSERT_EQ(runner.Run(), 0);
    EXPECT_EQ(test::RecordedRuns(Record()), (Strings{"-a|two|words|/opt/x y/file.txt"}));
}

TEST_F(RunnerWithChild, WithoutTheWaitFlagRunReturnsWhileTheProgramRuns) {
    test::ScopedEnv stay("ZN_CHILD_STAY", "sleep");
    const std::string name = test::UniqueProgramName("znrunner");
    test::InstallChild(m_sandbox.Path(), name);
    ASSERT_EQ(CommandRunner(CommandRunner::kFromProgramFolder, name, {}, m_sandbox.Path()).Run(),
              0);
    ASSERT_TRUE(test::WaitFor([&] { return FindProcessByName(name).has_value(); }));
    EXPECT_TRUE(StopProcessByName(name));
}

TEST_F(RunnerWithChild, WaitForAProgramThatNeverEndsIsBounded) {
    test::ScopedEnv stay("ZN_CHILD_STAY", "sleep");
    const std::string name = test::UniqueProgramName("znwait");
    test::InstallChild(m_sandbox.Path(), name);
    test::LogCapture log;
    const CommandRunner runner(CommandRunner::kFromProgramFolder | CommandRunner::kWaitForEnd, name,
                               {}, m_sandbox.Path());
    EXPECT_EQ(runner.Run(std::chrono::milliseconds(300)), 0);
    EXPECT_TRUE(log.Contains({name, "has not ended"}));
    ASSERT_TRUE(FindProcessByName(name).has_value()) << "the program was left running";
    EXPECT_TRUE(StopProcessByName(name));
}

TEST_F(RunnerWithChild, AMissingProgramGivesItsErrorCode) {
    test::LogCapture log;
    EXPECT_EQ(
        CommandRunner(CommandRunner::kFromContentFolder, "missing.exe", {}, m_sandbox.Path()).Run(),
        ENOENT);
    EXPECT_EQ(CommandRunner(0, "zn-no-such-program-anywhere", {}, m_sandbox.Path()).Run(), ENOENT);
    EXPECT_TRUE(log.Contains({"Cannot start", "missing"}));
}

TEST_F(RunnerWithChild, ABareNameIsFoundInPath) {
    EXPECT_EQ(CommandRunner(CommandRunner::kWaitForEnd, "true.exe", {}, m_sandbox.Path()).Run(), 0);
}

}  // namespace
}  // namespace zn
