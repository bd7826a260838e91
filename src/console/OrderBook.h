#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zn::console {

inline constexpr std::string_view kOrderBookFileName = "TodaysOrders.txt";

enum class OrderState { Open, Completed, NotDelivered, Cancelled };

struct DayOrder {
    using TimePoint = std::chrono::system_clock::time_point;
    std::string serial;  // UTF-8, as the seat sent it
    std::string seat;    // as the seat list names it; "未知" without an entry
    std::string address;
    TimePoint received;
    OrderState state = OrderState::Open;
    TimePoint handled;  // the last completion, re-send or cancellation carried out
    int reminders = 0;  // announced again so far
    TimePoint lastReminder;
};

struct OrderReminder {
    std::string serial;
    std::string seat;
    std::string address;
    long long waited = 0;  // whole reminder units (minutes) since the order came
};

// The orders the console announced today, so that none is forgotten once its popup is gone:
// each open until the back office completes or cancels it, completed but not delivered while the
// seat did not take its result page. Kept in a file of the console's state folder across a
// restart (replaced whole at each Flush, so a power cut leaves the old or the new file) and
// forgotten when the
// day changes. Bounded: kMaxOrders a day (the oldest handled one goes first, then the oldest),
// serials and seats cut at kMaxFieldBytes. Any thread.
class OrderBook {
public:
    static constexpr std::size_t kMaxOrders = 1000;
    static constexpr std::size_t kMaxFieldBytes = 64;
    static constexpr std::size_t kMaxFileBytes = 1024 * 1024;
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // Reads today's orders back from the file; a missing, unreadable or oversized file keeps
    // none, and lines that do not parse are skipped.
    explicit OrderBook(std::filesystem::path file, Clock clock = std::chrono::system_clock::now);

    // A new order, open from now. False when today's orders hold the serial already: a seat that
    // sends it again cannot reopen or duplicate it.
    bool Announce(std::string_view serial, std::string_view seat, std::string_view address);
    // What the back office carried out for a transaction id; false when no order of today has it.
    // The last action carried out decides the state.
    bool Complete(std::string_view serial, bool delivered);
    // A re-sent result: delivered makes a not-delivered order completed; a failed one changes
    // nothing.
    bool Resent(std::string_view serial, bool delivered);
    bool Cancel(std::string_view serial);

    // The changes so far into the file. The changes above only mark the book changed, so that a
    // request worker never waits for the disk; the UI thread flushes after each change.
    void Flush();

    // Today's orders, newest first.
    std::vector<DayOrder> Today();
    std::size_t OpenCount();

    // The open orders whose next reminder is due: the k-th comes k × `minutes` units after the
    // order and at least `minutes` units after the one before (a console that was off does not
    // announce a backlog at once), at most `maxCount` for each order. Each one returned counts as
    // announced. None when `minutes` or `maxCount` is 0 or below.
    std::vector<OrderReminder> TakeDueReminders(int minutes, int maxCount,
                                                std::chrono::milliseconds unit);

private:
    // Under the lock, on today's order of `serial`; false for an unknown one. `change` says
    // whether it changed the order, so that only a change is written.
    template <typename Change>
    bool Update(std::string_view serial, Change change);
    DayOrder* Find(std::string_view serial);
    void ForgetOtherDays(std::chrono::system_clock::time_point now);
    void DropOneOverBound();

    std::filesystem::path m_file;
    Clock m_clock;
    std::mutex m_writeMutex;  // taken before m_mutex
    std::mutex m_mutex;
    std::string m_day;               // "YYYY-MM-DD" of the kept orders
    std::vector<DayOrder> m_orders;  // oldest first
    std::uint64_t m_generation = 0;  // changes so far
    std::uint64_t m_savedGeneration = 0;
    bool m_toldOpenDropped = false;
};

}  // namespace zn::console
