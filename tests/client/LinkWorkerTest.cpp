#include "client/LinkWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "WaitFor.h"

namespace zn::client {
namespace {

using namespace std::chrono_literals;

TEST(LinkWorkerTest, JobsRunOneAtATimeInOrderOnTheWorkerThread) {
    LinkWorker worker;
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<int> running = 0;
    std::atomic<int> mostAtOnce = 0;
    std::atomic<bool> onWorker = true;
    for (int i = 0; i < 20; ++i) {
        worker.Post([&, i] {
            mostAtOnce = std::max(mostAtOnce.load(), ++running);
            onWorker = onWorker && worker.IsWorkerThread();
            std::this_thread::sleep_for(1ms);
            {
                const std::lock_guard lock(mutex);
                order.push_back(i);
            }
            --running;
        });
    }
    EXPECT_FALSE(worker.IsWorkerThread());
    ASSERT_TRUE(test::WaitFor([&] {
        const std::lock_guard lock(mutex);
        return order.size() == 20;
    })) << "the jobs did not all run";
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
    EXPECT_EQ(mostAtOnce.load(), 1);
    EXPECT_TRUE(onWorker.load());
}

TEST(LinkWorkerTest, StopDropsWaitingJobsAndIsBoundedByTheRunningOne) {
    LinkWorker worker;
    std::atomic<bool> started = false;
    std::atomic<bool> release = false;
    std::atomic<int> later = 0;
    worker.Post([&] {
        started = true;
        test::WaitFor([&] { return release.load(); }, 20s);
    });
    worker.Post([&] { ++later; });
    ASSERT_TRUE(test::WaitFor([&] { return started.load(); })) << "the first job did not start";

    EXPECT_FALSE(worker.Stop(50ms)) << "Stop returned while a job still ran";
    worker.Post([&] { ++later; });
    release = true;
    EXPECT_TRUE(worker.Stop(20s)) << "the worker did not end";
    EXPECT_EQ(later.load(), 0) << "jobs queued or posted after Stop ran";
}

}  // namespace
}  // namespace zn::client
