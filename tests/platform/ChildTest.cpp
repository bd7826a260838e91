#include "platform/Child.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>

#include "platform/ProcessFd.h"

namespace zn {
namespace {

using namespace std::chrono_literals;

StartOptions FromPath() {
    StartOptions options;
    options.searchPath = true;
    return options;
}

// A wait on a child that does not end returns at its bound and leaves it running; once it ends,
// the status says how, and a reaped child is never signalled (its pid may be another's by then).
TEST(ChildTest, WaitsAreBoundedAndTheStatusSaysHowAChildEnded) {
    Child sleeper;
    ASSERT_EQ(StartChild("sleep", {"sleep", "30"}, FromPath(), sleeper), 0);
    EXPECT_FALSE(sleeper.Wait(200ms));
    EXPECT_FALSE(WaitForProcessEnd(sleeper.Pid(), 50ms));
    EXPECT_TRUE(sleeper.Running());
    ASSERT_TRUE(sleeper.Signal(SIGTERM));
    EXPECT_TRUE(WaitForProcessEnd(sleeper.Pid(), 10s)) << "a zombie has ended";
    const auto killed = sleeper.Wait(10s);
    ASSERT_TRUE(killed);
    EXPECT_EQ(killed->signal, SIGTERM);
    EXPECT_EQ(killed->ShellCode(), 128 + SIGTERM);
    EXPECT_FALSE(sleeper.Signal(SIGKILL));

    Child failing;
    ASSERT_EQ(StartChild("false", {"false"}, FromPath(), failing), 0);
    const auto failed = failing.Wait(10s);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->code, 1);
    EXPECT_EQ(failed->signal, 0);

    Child missing;
    EXPECT_EQ(StartChild("zn-no-such-program-anywhere", {"x"}, FromPath(), missing), ENOENT);
    EXPECT_FALSE(missing.IsValid());
}

}  // namespace
}  // namespace zn
