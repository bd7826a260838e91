#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Sandbox.h"
#include "WaitFor.h"
#include "platform/WindowDirectory.h"

extern char** environ;

namespace zn {
namespace {

using namespace std::chrono_literals;

// The listener tool as a child process, its standard output on a pipe.
class ListenTool {
public:
    explicit ListenTool(std::vector<std::string> arguments) {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0) {
            return;
        }
        m_output = pipe[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
        arguments.insert(arguments.begin(), ZN_LISTEN_TOOL);
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, ZN_LISTEN_TOOL, &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipe[1]);
    }
    ~ListenTool() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_output);
    }

    bool Started() const { return m_pid > 0; }

    // The next line without its line break; nullopt when none came within the bound.
    std::optional<std::string> ReadLine(std::chrono::milliseconds bound = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        for (;;) {
            if (const auto end = m_buffer.find('\n'); end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{m_output, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) != 1) {
                return std::nullopt;
            }
            char chunk[256];
            const ssize_t got = ::read(m_output, chunk, sizeof chunk);
            if (got <= 0) {
                return std::nullopt;
            }
            m_buffer.append(chunk, static_cast<std::size_t>(got));
        }
    }

    // The exit code once the tool has ended within the bound, else nullopt.
    std::optional<int> WaitForExit(std::chrono::milliseconds bound = 5s) {
        int status = 0;
        const bool ended =
            test::WaitFor([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, bound);
        if (!ended) {
            return std::nullopt;
        }
        m_pid = -1;
        return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
    }

    void Signal(int number) const { ::kill(m_pid, number); }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_buffer;
};

std::vector<std::byte> Bytes(std::string_view text) {
    const auto* first = reinterpret_cast<const std::byte*>(text.data());
    return {first, first + text.size()};
}

TEST(ListenToolTest, PrintsEveryMessageAsOneLineAndUnpublishesOnTermination) {
    test::Sandbox sandbox;
    const WindowDirectory directory(WindowDirectory::DefaultFolder());
    ListenTool tool({"--class", "CafeHook", "--title", "挂钩窗口"});
    ASSERT_TRUE(tool.Started());
    std::optional<WindowEntry> window;
    ASSERT_TRUE(test::WaitFor([&] {
        window = directory.Find("CafeHook", "挂钩窗口");
        return window.has_value();
    })) << "the tool did not publish its window";

    EXPECT_EQ(directory.SendCopyData(*window, 10001, Bytes(std::string_view("hello\0", 6)), 5s),
              CopyDataResult::Acknowledged);
    EXPECT_EQ(tool.ReadLine(), "10001 6 hello");

    // "你好" in code page 936, and a text with a line break in it.
    EXPECT_EQ(directory.SendCopyData(*window, 10003,
                                     Bytes(std::string_view("\xc4\xe3\xba\xc3\0", 5)), 5s),
              CopyDataResult::Acknowledged);
    EXPECT_EQ(tool.ReadLine(), "10003 5 你好");
    EXPECT_EQ(directory.SendCopyData(*window, 10002, Bytes(std::string_view("a\nb\\\0", 5)), 5s),
              CopyDataResult::Acknowledged);
    EXPECT_EQ(tool.ReadLine(), "10002 5 a\\nb\\\\");

    tool.Signal(SIGTERM);
    EXPECT_EQ(tool.WaitForExit(), 0);
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
        ListenTool tool(arguments);
        ASSERT_TRUE(tool.Started());
        EXPECT_EQ(tool.WaitForExit(), 2) << "with " << arguments.size() << " arguments";
    }
    EXPECT_TRUE(std::filesystem::is_empty(sandbox.RuntimeFolder()));
}

}  // namespace
}  // namespace zn
