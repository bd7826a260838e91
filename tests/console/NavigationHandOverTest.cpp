#include "console/NavigationHandOver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "ConsoleFakes.h"
#include "LogCapture.h"
#include "WaitFor.h"

namespace zn::console {
namespace {

using zn::test::WaitFor;

TEST(NavigationHandOverTest, ConcurrentHandOversAreEachNavigatedOnceInTheirOrder) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 100;
    test::FakeUiThread ui;
    {
        std::vector<std::jthread> workers;
        for (int t = 0; t < kThreads; ++t) {
            workers.emplace_back([&ui, t] {
                for (int i = 0; i < kPerThread; ++i) {
                    ui.HandOver().RequestNavigation(std::to_string(t) + "-" + std::to_string(i));
                }
            });
        }
    }
    ASSERT_TRUE(WaitFor([&] { return ui.Navigations().size() >= kThreads * kPerThread; }));
    std::map<int, std::vector<int>> byThread;
    for (const std::string& address : ui.Navigations()) {
        const auto dash = address.find('-');
        byThread[std::stoi(address.substr(0, dash))].push_back(std::stoi(address.substr(dash + 1)));
    }
    for (int t = 0; t < kThreads; ++t) {
        std::vector<int> expected(kPerThread);
        std::iota(expected.begin(), expected.end(), 0);
        EXPECT_EQ(byThread[t], expected) << "thread " << t << " lost or reordered addresses";
    }
    EXPECT_EQ(ui.EmptyDeliveries(), 0);
}

TEST(NavigationHandOverTest, AWorkerHandsOverWithoutWaitingForTheUiThread) {
    int scheduled = 0;
    NavigationHandOver handOver([&] { ++scheduled; });
    EXPECT_EQ(handOver.TakePending(), "") << "nothing pending at first";

    handOver.RequestNavigation("http://h/a");  // would hang if it waited for the UI thread
    handOver.RequestNavigation("http://h/b");
    EXPECT_EQ(scheduled, 1) << "one run of the handler takes the whole batch";
    EXPECT_EQ(handOver.TakePending(), "http://h/a");
    EXPECT_EQ(handOver.TakePending(), "http://h/b");
    EXPECT_EQ(handOver.TakePending(), "");

    handOver.RequestNavigation("http://h/c");
    EXPECT_EQ(scheduled, 2) << "a drained queue schedules the handler again";
}

TEST(NavigationHandOverTest, AWorkerWaitsOnlyWhileTheQueueIsFullAndNotOnceItIsClosed) {
    const zn::test::LogCapture log;
    NavigationHandOver handOver([] {});
    for (std::size_t i = 0; i < NavigationHandOver::kCapacity; ++i) {
        handOver.RequestNavigation("http://h/" + std::to_string(i));
    }
    std::atomic<int> returned = 0;
    std::jthread worker([&] {
        handOver.RequestNavigation("http://h/full");
        ++returned;
        handOver.RequestNavigation("http://h/late");
        ++returned;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(returned, 0) << "a full queue took one more";
    EXPECT_EQ(handOver.TakePending(), "http://h/0");
    ASSERT_TRUE(WaitFor([&] { return returned == 1; })) << "room made did not release the worker";

    handOver.Close();
    ASSERT_TRUE(WaitFor([&] { return returned == 2; })) << "a closed hand-over kept the worker";
    EXPECT_TRUE(log.Contains({"http://h/late", "dropped"}));
}

}  // namespace
}  // namespace zn::console
