#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <thread>

#include "Sandbox.h"
#include "update/UpdateLog.h"

namespace zn {
namespace {

TEST(UpdateLogTest, LineHasTheStampMessageAndNewline) {
    std::tm time{};
    time.tm_mon = 4;
    time.tm_mday = 2;
    time.tm_hour = 13;
    time.tm_min = 5;
    time.tm_sec = 9;
    EXPECT_EQ(FormatLogLine(time, "!CopyFile(a, b, FALSE):2"),
              "May 02 13:05:09: !CopyFile(a, b, FALSE):2\n");
    EXPECT_EQ(FormatLogLine(time, "!CopyFile(x\nMay 02 13:05:10: forged\r, b, FALSE):2"),
              "May 02 13:05:09: !CopyFile(x\\nMay 02 13:05:10: forged\\r, b, FALSE):2\n");
}

TEST(UpdateLogTest, LongMessagesAreCutOnACharacterBoundary) {
    const std::tm time{};
    const std::string stamp = "Jan 00 00:00:00: ";
    EXPECT_EQ(FormatLogLine(time, std::string(600, 'a')),
              stamp + std::string(kMaxLogMessageBytes, 'a') + "\n");
    std::string chinese;
    for (int i = 0; i < 200; ++i) {
        chinese += "更";
    }
    EXPECT_EQ(FormatLogLine(time, chinese), stamp + chinese.substr(0, 510) + "\n");
}

TEST(UpdateLogTest, LinesOfThreadsAndProcessesNeverMix) {
    test::Sandbox sandbox;
    const auto file = sandbox.DriveC() / "update.txt";
    constexpr int kLines = 200;
    const std::string message(400, 'p');
    std::vector<pid_t> children;
    for (int i = 0; i < 2; ++i) {
        const pid_t child = fork();
        if (child == 0) {
            for (int line = 0; line < kLines; ++line) {
                AppendLog(file, message);
            }
            _exit(0);
        }
        children.push_back(child);
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&] {
            for (int line = 0; line < kLines; ++line) {
                AppendLog(file, std::string(400, 't'));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::ifstream input(file);
    const std::regex pattern("[A-Z][a-z]{2} \\d\\d \\d\\d:\\d\\d:\\d\\d: (p{400}|t{400})");
    int lines = 0;
    for (std::string line; std::getline(input, line); ++lines) {
        EXPECT_TRUE(std::regex_match(line, pattern)) << line.substr(0, 60);
    }
    EXPECT_EQ(lines, 4 * kLines);
}

}  // namespace
}  // namespace zn
