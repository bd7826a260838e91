#include "console/MessageLog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "Sandbox.h"

namespace zn::console {
namespace {

using namespace std::chrono_literals;

class MessageLogTest : public ::testing::Test {
protected:
    MessageLog::Clock Clock() {
        return [this] { return now; };
    }

    zn::test::Sandbox sandbox;
    std::filesystem::path file = sandbox.Path() / "state" / "CustomerMessages.txt";
    std::chrono::system_clock::time_point now =
        std::chrono::system_clock::from_time_t(1'800'000'000);
};

TEST_F(MessageLogTest, KeepsTheDaysMessagesNewestFirstAcrossARestart) {
    {
        MessageLog log(file, Clock());
        log.Add("A1", "10.0.0.5", "请送一包纸巾\n第二行\t\\end");
        now += 1min;
        log.Add("未知", "10.0.0.6", "hi");
    }
    MessageLog restarted(file, Clock());
    const auto today = restarted.Today();
    ASSERT_EQ(today.size(), 2u);
    EXPECT_EQ(today[0].text, "hi");
    EXPECT_EQ(today[0].seat, "未知");
    EXPECT_EQ(today[1].text, "请送一包纸巾\n第二行\t\\end") << "line breaks and tabs survive";
    EXPECT_EQ(today[1].address, "10.0.0.5");
    EXPECT_EQ(today[1].time.size(), 8u) << today[1].time;

    now += 24h;
    EXPECT_TRUE(restarted.Today().empty()) << "a new day starts empty";
    EXPECT_TRUE(MessageLog(file, Clock()).Today().empty()) << "yesterday's file is not today's";
}

TEST_F(MessageLogTest, IsBoundedInCountAndTextAndReadsAHostileFileSafely) {
    MessageLog log(file, Clock());
    for (std::size_t i = 0; i < MessageLog::kMaxMessages + 5; ++i) {
        log.Add("A1", "10.0.0.5", std::to_string(i));
    }
    log.Add("A1", "10.0.0.5", std::string(MessageLog::kMaxTextBytes * 3, 'x'));
    auto today = log.Today();
    ASSERT_EQ(today.size(), MessageLog::kMaxMessages);
    EXPECT_EQ(today[0].text.size(), MessageLog::kMaxTextBytes);
    EXPECT_EQ(today[1].text, std::to_string(MessageLog::kMaxMessages + 4));
    EXPECT_EQ(MessageLog(file, Clock()).Today().size(), MessageLog::kMaxMessages);

    {
        std::ofstream hostile(file, std::ios::binary | std::ios::trunc);
        hostile << "garbage\n\t\t\t\t\t\t\n" << std::string(8 * 1024 * 1024, 'y') << '\n';
    }
    EXPECT_TRUE(MessageLog(file, Clock()).Today().empty());
}

}  // namespace
}  // namespace zn::console
