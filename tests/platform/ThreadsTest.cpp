#include "platform/Threads.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

#include "WaitFor.h"

namespace {

// Records on which thread it was destroyed.
struct DestructionProbe {
    DestructionProbe(std::atomic<bool>* destroyedFlag, std::atomic<bool>* onCallerFlag)
        : destroyed(destroyedFlag), destroyedOnCaller(onCallerFlag) {}
    DestructionProbe(const DestructionProbe&) = delete;
    DestructionProbe& operator=(const DestructionProbe&) = delete;

    std::atomic<bool>* destroyed;
    std::atomic<bool>* destroyedOnCaller;
    std::thread::id caller = std::this_thread::get_id();
    ~DestructionProbe() {
        *destroyedOnCaller = std::this_thread::get_id() == caller;
        *destroyed = true;
    }
};

TEST(ThreadsTest, RunsTheBodyOnAThreadWithTheRequestedStack) {
    std::atomic<bool> ran = false;
    std::atomic<std::size_t> stackSize = 0;
    std::atomic<bool> ranOnCaller = true;
    const auto caller = std::this_thread::get_id();

    ASSERT_TRUE(zn::StartDetachedThread(
        [&] {
            pthread_attr_t attributes;
            if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
                std::size_t size = 0;
                pthread_attr_getstacksize(&attributes, &size);
                stackSize = size;
                pthread_attr_destroy(&attributes);
            }
            ranOnCaller = std::this_thread::get_id() == caller;
            ran = true;
        },
        100 * 1000));

    ASSERT_TRUE(zn::test::WaitFor([&] { return ran.load(); })) << "the body never ran";
    EXPECT_FALSE(ranOnCaller);
    EXPECT_GE(stackSize, 100u * 1000u);
    EXPECT_LT(stackSize, 1024u * 1024u) << "the requested small stack was not used";
}

TEST(ThreadsTest, TheFunctionIsDestroyedOnItsThread) {
    std::atomic<bool> destroyed = false;
    std::atomic<bool> destroyedOnCaller = true;
    auto probe = std::make_shared<DestructionProbe>(&destroyed, &destroyedOnCaller);

    ASSERT_TRUE(zn::StartDetachedThread([probe = std::move(probe)] {}, 1));

    ASSERT_TRUE(zn::test::WaitFor([&] { return destroyed.load(); }))
        << "the function was never destroyed";
    EXPECT_FALSE(destroyedOnCaller);
}

TEST(ThreadsTest, AnImpossibleStackFailsWithoutRunningTheBody) {
    std::atomic<bool> ran = false;
    for (const std::size_t impossible : {std::size_t{1} << 50, SIZE_MAX}) {
        EXPECT_FALSE(zn::StartDetachedThread([&] { ran = true; }, impossible)) << impossible;
    }
    EXPECT_FALSE(ran);
}

// A worker of a console that its administrator started at a lower priority stays there: the
// short slices must not hand it back the priority (root could, and would, take it).
TEST(ThreadsTest, PromptWakeUpsKeepTheThreadsPriority) {
    int niceAfter = 0;
    std::thread([&] {
        const auto thread = static_cast<id_t>(syscall(SYS_gettid));
        ASSERT_EQ(setpriority(PRIO_PROCESS, thread, 7), 0);
        zn::PreferPromptWakeUps();
        niceAfter = getpriority(PRIO_PROCESS, thread);
    }).join();
    EXPECT_EQ(niceAfter, 7);
}

}  // namespace
