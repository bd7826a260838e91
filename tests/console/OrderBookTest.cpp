#include "console/OrderBook.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "Sandbox.h"
#include "console/OrderTexts.h"
#include "console/StateFileFields.h"

namespace zn::console {
namespace {

using namespace std::chrono_literals;

class OrderBookTest : public ::testing::Test {
protected:
    OrderBook::Clock Clock() {
        return [this] { return now; };
    }
    std::vector<OrderState> States(OrderBook& book) {
        std::vector<OrderState> states;
        for (const DayOrder& order : book.Today()) {
            states.push_back(order.state);
        }
        return states;
    }
    std::vector<std::string> Reminded(OrderBook& book) {
        std::vector<std::string> reminded;
        for (const OrderReminder& reminder : book.TakeDueReminders(5, 3, 1min)) {
            reminded.push_back(reminder.serial + "@" + std::to_string(reminder.waited));
        }
        return reminded;
    }

    zn::test::Sandbox sandbox;
    std::filesystem::path file = sandbox.Path() / "state" / "TodaysOrders.txt";
    // Mid-morning, so that the hours below stay within one local day.
    std::chrono::system_clock::time_point now =
        std::chrono::system_clock::from_time_t(1'800'000'000);
};

TEST_F(OrderBookTest, AnOrderMovesThroughItsStatesAcrossARestartUntilTheDayChanges) {
    {
        OrderBook book(file, Clock());
        EXPECT_TRUE(book.Announce("1001", "A08", "10.0.0.8"));
        now += 1s;
        EXPECT_TRUE(book.Announce("1002", "未知", "10.0.0.9"));
        now += 1s;
        EXPECT_TRUE(book.Announce("1003", "A10", "10.0.0.10"));
        EXPECT_FALSE(book.Announce("1001", "B01", "10.0.0.66")) << "a repeat is no new order";
        EXPECT_FALSE(book.Announce("", "A08", "10.0.0.8"));
        EXPECT_EQ(book.OpenCount(), 3u);

        EXPECT_TRUE(book.Complete("1001", false));
        EXPECT_TRUE(book.Resent("1001", false));
        EXPECT_TRUE(book.Cancel("1002"));
        EXPECT_FALSE(book.Complete("9999", true)) << "a completion of an unknown transaction";
        EXPECT_FALSE(book.Cancel("9999"));
        EXPECT_EQ(States(book),
                  (std::vector{OrderState::Open, OrderState::Cancelled, OrderState::NotDelivered}));
        book.Flush();
    }
    now += 1h;
    OrderBook restarted(file, Clock());
    EXPECT_EQ(States(restarted),
              (std::vector{OrderState::Open, OrderState::Cancelled, OrderState::NotDelivered}));
    EXPECT_EQ(restarted.Today()[2].seat, "A08") << "a repeat changed nothing";
    EXPECT_TRUE(restarted.Resent("1001", true));
    EXPECT_EQ(restarted.Today()[2].state, OrderState::Completed);
    EXPECT_EQ(restarted.Today()[2].handled, now);
    EXPECT_EQ(restarted.OpenCount(), 1u);
    EXPECT_FALSE(restarted.Announce("1001", "A08", "10.0.0.8")) << "a handled order stays so";

    const auto rows = DescribeOrders(restarted.Today());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0].open);
    EXPECT_EQ(rows[0].state, "待处理");
    EXPECT_EQ(rows[1].seat, "未知 (10.0.0.9)");
    EXPECT_TRUE(rows[2].state.starts_with("已完成 ")) << rows[2].state;
    EXPECT_EQ(OrdersSummaryText(restarted.Today()), "待处理 1 笔，今日共 3 笔");

    now += 24h;
    EXPECT_TRUE(restarted.Today().empty()) << "a new day starts empty";
    EXPECT_FALSE(restarted.Complete("1003", true)) << "yesterday's order is forgotten";
    EXPECT_TRUE(OrderBook(file, Clock()).Today().empty());
}

TEST_F(OrderBookTest, OpenOrdersAreRemindedEachPeriodAtMostCountTimesAcrossARestart) {
    auto book = std::make_unique<OrderBook>(file, Clock());
    book->Announce("1001", "A08", "10.0.0.8");
    book->Announce("1002", "A09", "10.0.0.9");
    now += 5min - 1s;
    EXPECT_TRUE(Reminded(*book).empty());
    now += 1s;
    EXPECT_EQ(Reminded(*book), (std::vector<std::string>{"1001@5", "1002@5"}));
    EXPECT_TRUE(Reminded(*book).empty()) << "each reminder is taken once";
    book->Complete("1002", true);

    now += 5min;
    EXPECT_EQ(Reminded(*book), std::vector<std::string>{"1001@10"});
    book->Flush();
    book = std::make_unique<OrderBook>(file, Clock());
    now += 5min;
    EXPECT_EQ(Reminded(*book), std::vector<std::string>{"1001@15"});
    now += 5min;
    EXPECT_TRUE(Reminded(*book).empty()) << "three reminders at most";

    book->Announce("1003", "A10", "10.0.0.10");
    EXPECT_TRUE(book->TakeDueReminders(0, 3, 1min).empty()) << "0 minutes: reminders are off";
    // A console that was off for half an hour reminds once, then a period later.
    now += 30min;
    EXPECT_TRUE(book->TakeDueReminders(0, 3, 1min).empty());
    EXPECT_EQ(Reminded(*book), std::vector<std::string>{"1003@30"});
    now += 4min;
    EXPECT_TRUE(Reminded(*book).empty());
    now += 1min;
    EXPECT_EQ(Reminded(*book), std::vector<std::string>{"1003@35"});

    EXPECT_EQ(ReminderText({"464158", "A08", "10.0.0.8", 5}),
              "座号：A08 的订单 464158 已等待 5 分钟，尚未处理！");
}

TEST_F(OrderBookTest, IsBoundedAndReadsAHostileFileSafely) {
    {
        // A full day, written at once: the first order handled, the others open.
        std::filesystem::create_directories(file.parent_path());
        std::ofstream full(file, std::ios::binary | std::ios::trunc);
        for (std::size_t i = 0; i < OrderBook::kMaxOrders; ++i) {
            full << JoinFields({LocalDay(now), std::to_string(i), "A1", "10.0.0.1", "1",
                                i == 0 ? "cancelled" : "open", "0", "0", "0"})
                 << '\n';
        }
    }
    OrderBook book(file, Clock());
    ASSERT_EQ(book.Today().size(), OrderBook::kMaxOrders);
    book.Announce("newest", "A1", "10.0.0.1");
    auto today = book.Today();
    ASSERT_EQ(today.size(), OrderBook::kMaxOrders);
    EXPECT_EQ(today.front().serial, "newest");
    EXPECT_EQ(book.OpenCount(), OrderBook::kMaxOrders) << "the handled order went first";
    book.Announce("newer", "A1", "10.0.0.1");
    EXPECT_EQ(book.Today().back().serial, "2") << "then the oldest open one";

    const std::string longSerial(500, '7');
    book.Announce(longSerial, std::string(500, 'S'), "10.0.0.1");
    EXPECT_EQ(book.Today().front().serial.size(), OrderBook::kMaxFieldBytes);
    EXPECT_TRUE(book.Complete(longSerial, true)) << "the cut serial is still found";
    book.Flush();
    EXPECT_EQ(OrderBook(file, Clock()).Today().size(), OrderBook::kMaxOrders);

    {
        std::ofstream hostile(file, std::ios::binary | std::ios::trunc);
        const std::string day = LocalDay(now);
        hostile << "garbage\n\t\t\t\t\t\t\t\t\n"
                << day << "\tx\tA\tB\t-5\topen\t0\t0\t0\n"
                << day << "\ty\tA\tB\t5\tbogus\t0\t0\t0\n"
                << day << "\tz\tA\tB\t5\topen\t0\t99999\t0\n";
    }
    EXPECT_TRUE(OrderBook(file, Clock()).Today().empty());
    {
        std::ofstream huge(file, std::ios::binary | std::ios::trunc);
        huge << std::string(OrderBook::kMaxFileBytes + 1, 'y');
    }
    EXPECT_TRUE(OrderBook(file, Clock()).Today().empty());
}

}  // namespace
}  // namespace zn::console
