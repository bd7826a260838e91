#include "console/NavigationHandOver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "ConsoleFakes.h"

namespace zn::console {
namespace {

TEST(NavigationHandOverTest, ConcurrentHandOversAreEachNavigatedOnce) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 100;
    test::FakeUiThread ui;
    std::vector<std::string> expected;
    {
        std::vector<std::jthread> workers;
        for (int t = 0; t < kThreads; ++t) {
            workers.emplace_back([&ui, t] {
                for (int i = 0; i < kPerThread; ++i) {
                    ui.HandOver().RequestNavigation("http://h/p?transid=" + std::to_string(t) +
                                                    "-" + std::to_string(i));
                }
            });
            for (int i = 0; i < kPerThread; ++i) {
                expected.push_back("http://h/p?transid=" + std::to_string(t) + "-" +
                                   std::to_string(i));
            }
        }
    }
    auto navigated = ui.Navigations();
    std::sort(navigated.begin(), navigated.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(navigated, expected);
    EXPECT_EQ(ui.EmptyDeliveries(), 0);
}

TEST(NavigationHandOverTest, TheHandlerTakesThePendingAddressOnce) {
    int delivered = 0;
    NavigationHandOver handOver([&] { ++delivered; });
    EXPECT_EQ(handOver.TakePending(), "") << "nothing pending at first";
    handOver.RequestNavigation("http://h/a");
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(handOver.TakePending(), "http://h/a");
    EXPECT_EQ(handOver.TakePending(), "");
}

}  // namespace
}  // namespace zn::console
