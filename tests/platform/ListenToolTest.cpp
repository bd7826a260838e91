#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "platform/WindowDirectory.h"

namespace zn {
namespace {

using namespace std::chrono_literals;

// The listener tool as a child process, its standard output read line by line.
test::ChildProcess StartListenTool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), ZN_LISTEN_TOOL);
    return test::ChildProcess({.arguments = std::move(arguments), .pipeOutput = true});
}

std::vector<std::byte> Bytes(std::string_view text) {
    const auto* first = reinterpret_cast<const std::byte*>(text.data());
    return {first, first + text.size()};
}

TEST(ListenToolTest, PrintsEveryMessageAsOneLineAndUnpublishesOnTermination) {
    test::Sandbox sandbox;
    const WindowDirectory directory(WindowDirectory::DefaultFolder());
    auto tool = StartListenTool({"--class", "CafeHook", "--title", "挂钩窗口"});
    ASSERT_TRUE(tool.Started());
    std::optional<WindowEntry> window;
    ASSERT_TRUE(test::WaitFor([&] {
        window = directory.Find("CafeHook", "挂钩窗口");
        return window.has_value();
    })) << "the tool did not publish its window";

    EXPECT_EQ(directory.SendCopyData(*window, 10001, Bytes(std::string_view("hello\0", 6)), 5s),
              CopyDataResult::Acknowledged);
    EXPECT_EQ(tool.ReadLine(5s), "10001 6 hello");

    // "你好" in code page 936, and a text with a line break in it.
    EXPECT_EQ(directory.SendCopyData(*window, 10003,
                                     Bytes(std::string_view("\xc4\xe3\xba\xc3\0", 5)), 5s),
              CopyDataResult::Acknowledged);
    EXPECT_EQ(tool.ReadLine(5s), "10003 5 你好");
    EXPECT_EQ(directory.SendCopyData(*window, 10002, Bytes(std::string_view("a\nb\\\0", 5)), 5s),
              CopyDataResult::Acknowledged);
    EXPECT_EQ(tool.ReadLine(5s), "10002 5 a\\nb\\\\");

    tool.Signal(SIGTERM);
    EXPECT_EQ(tool.WaitForExit(5s), 0);
    EXPECT_FALSE(directory.Find("CafeHook", "挂钩窗口"));
    EXPECT_TRUE(std::filesystem::is_empty(sandbox.RuntimeFolder()));
}

TEST(ListenToolTest, WrongArgumentsPrintUsageAndExitWithTwo) {
    test::Sandbox sandbox;
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--class", "c"},
        {"--title", "t"},
        {"--class", "c", "--title"},
        {"--class", "c", "--title", "t", "--class", "d"},
        {"--class", "c", "--title", "t", "--verbose", "1"},
    };
    for (const auto& arguments : cases) {
        auto tool = StartListenTool(arguments);
        ASSERT_TRUE(tool.Started());
        EXPECT_EQ(tool.WaitForExit(5s), 2) << "with " << arguments.size() << " arguments";
    }
    EXPECT_TRUE(std::filesystem::is_empty(sandbox.RuntimeFolder()));
}

}  // namespace
}  // namespace zn
