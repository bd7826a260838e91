#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "ChildPrograms.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "update/ChildProcess.h"
#include "update/ProcessControl.h"

namespace zn {
namespace {

class ProcessControlTest : public ::testing::Test {
protected:
    // A child of ours (reaped by the test, so its end can be read) that has started.
    pid_t Start(const std::string& name) {
        const auto program = test::InstallChild(m_sandbox.Path(), name);
        const std::size_t runsBefore = test::RecordedRuns(Record()).size();
        pid_t child = -1;
        EXPECT_EQ(SpawnProgram(program.string(), {program.string()}, {}, child), 0);
        m_children.push_back(child);
        EXPECT_TRUE(test::WaitFor([&] { return test::RecordedRuns(Record()).size() > runsBefore; }))
            << "the child did not start";
        return child;
    }

    // The signal that ended the child.
    int EndingSignal(pid_t child) {
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        std::erase(m_children, child);
        return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }

    void TearDown() override {
        for (const pid_t child : m_children) {
            test::KillChild(child);
        }
    }

    std::filesystem::path Record() const { return m_sandbox.Path() / "record.txt"; }

    test::Sandbox m_sandbox;
    test::ScopedEnv m_record{"ZN_CHILD_RECORD", (m_sandbox.Path() / "record.txt").string()};
    std::vector<pid_t> m_children;
};

TEST_F(ProcessControlTest, NoMatchingProcessReturnsFalseAtOnce) {
    EXPECT_FALSE(FindProcessByName(test::UniqueProgramName("zn-not-running")));
    EXPECT_FALSE(StopProcessByName(test::UniqueProgramName("zn-not-running") + ".exe"));
}

TEST_F(ProcessControlTest, AProgramNamedWithExeIsNotTheProgramWithout) {
    test::ScopedEnv stay("ZN_CHILD_STAY", "sleep");
    const std::string name = test::UniqueProgramName("znexact");
    const pid_t planted = Start(name + ".exe");
    EXPECT_FALSE(FindProcessByName(name));
    EXPECT_EQ(FindProcessByName(name + ".exe"), planted);
}

TEST_F(ProcessControlTest, StopsOneInstancePerCallAndFindsNamesIgnoringCase) {
    test::ScopedEnv stay("ZN_CHILD_STAY", "sleep");
    const std::string name = test::UniqueProgramName("znstop");
    const pid_t first = Start(name);
    const pid_t second = Start(name);
    EXPECT_EQ(FindProcessByName(name), std::min(first, second));

    std::string shouted = name;
    for (char& c : shouted) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_TRUE(StopProcessByName(shouted + ".EXE"));
    EXPECT_EQ(FindProcessByName(name), std::max(first, second));
    EXPECT_TRUE(StopProcessByName(name));
    EXPECT_FALSE(FindProcessByName(name));
    EXPECT_EQ(EndingSignal(first), SIGTERM);
    EXPECT_EQ(EndingSignal(second), SIGTERM);
}

TEST_F(ProcessControlTest, AProgramThatIgnoresTheCloseIsKilledAfterTheWait) {
    test::ScopedEnv stay("ZN_CHILD_STAY", "ignore-term");
    const std::string name = test::UniqueProgramName("znstubborn");
    const pid_t child = Start(name);
    EXPECT_TRUE(StopProcessByName(name, std::chrono::milliseconds(300)));
    EXPECT_EQ(EndingSignal(child), SIGKILL);
}

}  // namespace
}  // namespace zn
