#include "console/NavigationHandOver.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    constexpr int kPerThread = NavigationHandOver::kCapacity / kThreads;  // none has to be folded
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

// A UI thread far behind: the worker goes on at once, and what the cashier would have seen (the
// last address of the batch) is kept.
TEST(NavigationHandOverTest, AFullHandOverTakesTheLaterAddressInPlaceOfTheNewestWaiting) {
    const zn::test::LogCapture log;
    NavigationHandOver handOver([] {});
    for (std::size_t i = 0; i < NavigationHandOver::kCapacity; ++i) {
        handOver.RequestNavigation("http://h/" + std::to_string(i));
    }
    handOver.RequestNavigation("http://h/later");  // would hang if it waited for room

    std::vector<std::string> taken;
    for (std::string address = handOver.TakePending(); !address.empty();
         address = handOver.TakePending()) {
        taken.push_back(address);
    }
    ASSERT_EQ(taken.size(), NavigationHandOver::kCapacity);
    EXPECT_EQ(taken.front(), "http://h/0");
    EXPECT_EQ(taken[taken.size() - 2], "http://h/254");
    EXPECT_EQ(taken.back(), "http://h/later");
    EXPECT_TRUE(log.Contains({"http://h/255", "skipped"}));

    handOver.Close();
    handOver.RequestNavigation("http://h/late");
    EXPECT_EQ(handOver.TakePending(), "");
    EXPECT_TRUE(log.Contains({"http://h/late", "dropped"}));
}

}  // namespace
}  // namespace zn::console
