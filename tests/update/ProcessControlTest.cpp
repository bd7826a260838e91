#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <list>

#include "ChildPrograms.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "platform/Child.h"
#include "platform/ProcessesByName.h"

namespace zn {
namespace {

class ProcessControlTest : public ::testing::Test {
protected:
    // A child of ours (reaped by the test, so its end can be read) that has started.
    pid_t Start(const std::string& name) {
        const auto program = test::InstallChild(m_sandbox.Path(), name);
        const std::size_t runsBefore = test::RecordedRuns(Record()).size();
        Child& child = m_children.emplace_back();
        EXPECT_EQ(StartChild(program.string(), {program.string()}, {}, child), 0);
        EXPECT_TRUE(test::WaitFor([&] { return test::RecordedRuns(Record()).size() > runsBefore; }))
            << "the child did not start";
        return child.Pid();
    }

    // The signal that ended the child.
    int EndingSignal(pid_t pid) {
        const auto child = std::find_if(m_children.begin(), m_children.end(),
                                        [pid](const Child& c) { return c.Pid() == pid; });
        const auto ended = child->Wait(kEndWait);
        EXPECT_TRUE(ended) << "the child did not end";
        return ended ? ended->signal : 0;
    }

    void TearDown() override {
        for (Child& child : m_children) {
            child.Signal(SIGKILL);
            child.Wait(kEndWait);
        }
    }

    static constexpr std::chrono::seconds kEndWait{10};

    std::filesystem::path Record() const { return m_sandbox.Path() / "record.txt"; }

    test::Sandbox m_sandbox;
    test::ScopedEnv m_record{"ZN_CHILD_RECORD", (m_sandbox.Path() / "record.txt").string()};
    std::list<Child> m_children;
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
