#include "client/ClientStartup.h"

#include <gtest/gtest.h>

#include <atomic>

#include "Sandbox.h"
#include "WaitFor.h"
#include "platform/WindowDirectory.h"

namespace zn::client {
namespace {

std::string Parse(std::initializer_list<std::string_view> arguments) {
    return ParseLaunchParameter(std::span(arguments.begin(), arguments.size()));
}

TEST(LaunchParameterTest, OnlyAFirstArgumentWithThePrefixCounts) {
    EXPECT_EQ(Parse({"-pgame=12&x=1"}), "game=12&x=1");
    EXPECT_EQ(Parse({"-p"}), "");
    EXPECT_EQ(Parse({"-pa", "-pb"}), "a");
    EXPECT_EQ(Parse({"game=12"}), "");
    EXPECT_EQ(Parse({"x", "-pgame=12"}), "") << "a second argument never counts";
    EXPECT_EQ(Parse({"-P1"}), "");
    EXPECT_EQ(Parse({}), "");
}

TEST(ShowRunningClientTest, AskesTheWindowWithTheShopCaptionToShowItself) {
    test::Sandbox sandbox;
    const WindowDirectory windows(sandbox.RuntimeFolder());
    EXPECT_FALSE(ShowRunningClient(windows));

    std::atomic<std::uint32_t> received = 0;
    auto window = PublishedWindow::Publish(
        windows, std::string(kMainWindowClass), std::string(kMainWindowCaption),
        [&](std::uint32_t number, std::vector<std::byte>) { received = number; });
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(ShowRunningClient(windows))
        << "before a page has set the caption the client is not found";

    window->SetCaption(std::string(kRunningClientCaption));
    EXPECT_TRUE(ShowRunningClient(windows));
    EXPECT_TRUE(test::WaitFor([&] { return received.load() == kShowRunningClient; }));
}

}  // namespace
}  // namespace zn::client
