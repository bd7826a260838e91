#include "console/OrderBook.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <system_error>
#include <utility>

#include "console/StateFileFields.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/ReplacementFile.h"
#include "platform/Utf8.h"

namespace zn::console {

namespace {

using TimePoint = std::chrono::system_clock::time_point;
using std::chrono::milliseconds;

constexpr std::array<std::string_view, 4> kStateWords = {"open", "completed", "notdelivered",
                                                         "cancelled"};
constexpr std::size_t kFieldsPerLine = 9;

std::string Bounded(std::string_view text) {
    return std::string(Utf8::Cut(text, OrderBook::kMaxFieldBytes));
}

std::string Milliseconds(TimePoint when) {
    return std::to_string(
        std::chrono::duration_cast<milliseconds>(when.time_since_epoch()).count());
}

std::optional<long long> Number(const std::string& text) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<OrderState> StateOf(const std::string& word) {
    const auto found = std::find(kStateWords.begin(), kStateWords.end(), word);
    if (found == kStateWords.end()) {
        return std::nullopt;
    }
    return static_cast<OrderState>(found - kStateWords.begin());
}

// Fields: day, serial, seat, address, received, state, handled, reminders, last reminder.
std::optional<DayOrder> ParseLine(const std::string& line, const std::string& day) {
    std::vector<std::string> fields = SplitFields(line);
    if (fields.size() != kFieldsPerLine || fields[0] != day || fields[1].empty()) {
        return std::nullopt;
    }
    const auto received = Number(fields[4]);
    const auto state = StateOf(fields[5]);
    const auto handled = Number(fields[6]);
    const auto reminders = Number(fields[7]);
    const auto lastReminder = Number(fields[8]);
    if (!received || !state || !handled || !reminders || *reminders > 1000 || !lastReminder) {
        return std::nullopt;
    }
    return DayOrder{Bounded(fields[1]),
                    Bounded(fields[2]),
                    Bounded(fields[3]),
                    TimePoint(milliseconds(*received)),
                    *state,
                    TimePoint(milliseconds(*handled)),
                    static_cast<int>(*reminders),
                    TimePoint(milliseconds(*lastReminder))};
}

}  // namespace

OrderBook::OrderBook(std::filesystem::path file, Clock clock)
    : m_file(std::move(file)), m_clock(std::move(clock)), m_day(LocalDay(m_clock())) {
    const CappedFileContent content = ReadFileCapped(m_file, kMaxFileBytes);
    if (content.status == FileReadStatus::Unusable) {
        log::Warn("{} cannot be read or is larger than any day's orders: not read",
                  m_file.string());
    }
    std::size_t start = 0;
    while (start < content.bytes.size()) {
        std::size_t end = content.bytes.find('\n', start);
        end = end == std::string::npos ? content.bytes.size() : end;
        if (auto order = ParseLine(content.bytes.substr(start, end - start), m_day);
            order && Find(order->serial) == nullptr) {
            m_orders.push_back(std::move(*order));
            DropOneOverBound();
        }
        start = end + 1;
    }
}

DayOrder* OrderBook::Find(std::string_view serial) {
    const std::string bounded = Bounded(serial);
    const auto found = std::find_if(m_orders.begin(), m_orders.end(),
                                    [&](const DayOrder& order) { return order.serial == bounded; });
    return found == m_orders.end() ? nullptr : &*found;
}

void OrderBook::ForgetOtherDays(TimePoint now) {
    std::string today = LocalDay(now);
    if (today != m_day) {
        m_day = std::move(today);
        m_orders.clear();
        m_toldOpenDropped = false;
        ++m_generation;
    }
}

void OrderBook::DropOneOverBound() {
    if (m_orders.size() <= kMaxOrders) {
        return;
    }
    auto victim = std::find_if(m_orders.begin(), m_orders.end(), [](const DayOrder& order) {
        return order.state != OrderState::Open;
    });
    if (victim == m_orders.end()) {
        victim = m_orders.begin();
        // Once a day: a flood of orders must not flood the log too.
        if (!std::exchange(m_toldOpenDropped, true)) {
            log::Warn("more than {} open orders today: the oldest are no longer kept, first {}",
                      kMaxOrders, log::Printable(victim->serial));
        }
    }
    m_orders.erase(victim);
}

bool OrderBook::Announce(std::string_view serial, std::string_view seat, std::string_view address) {
    const TimePoint now = m_clock();
    const std::lock_guard lock(m_mutex);
    ForgetOtherDays(now);
    if (serial.empty() || Find(serial) != nullptr) {
        return false;
    }
    m_orders.push_back({Bounded(serial), Bounded(seat), Bounded(address), now, OrderState::Open,
                        TimePoint(), 0, TimePoint()});
    DropOneOverBound();
    ++m_generation;
    return true;
}

template <typename Change>
bool OrderBook::Update(std::string_view serial, Change change) {
    const TimePoint now = m_clock();
    const std::lock_guard lock(m_mutex);
    ForgetOtherDays(now);
    DayOrder* order = Find(serial);
    if (order == nullptr) {
        return false;
    }
    if (change(*order, now)) {
        ++m_generation;
    }
    return true;
}

bool OrderBook::Complete(std::string_view serial, bool delivered) {
    return Update(serial, [delivered](DayOrder& order, TimePoint now) {
        order.state = delivered ? OrderState::Completed : OrderState::NotDelivered;
        order.handled = now;
        return true;
    });
}

bool OrderBook::Resent(std::string_view serial, bool delivered) {
    return Update(serial, [delivered](DayOrder& order, TimePoint now) {
        if (!delivered || order.state != OrderState::NotDelivered) {
            return false;
        }
        order.state = OrderState::Completed;
        order.handled = now;
        return true;
    });
}

bool OrderBook::Cancel(std::string_view serial) {
    return Update(serial, [](DayOrder& order, TimePoint now) {
        order.state = OrderState::Cancelled;
        order.handled = now;
        return true;
    });
}

std::vector<DayOrder> OrderBook::Today() {
    const TimePoint now = m_clock();
    const std::lock_guard lock(m_mutex);
    ForgetOtherDays(now);
    return {m_orders.rbegin(), m_orders.rend()};
}

std::size_t OrderBook::OpenCount() {
    const TimePoint now = m_clock();
    const std::lock_guard lock(m_mutex);
    ForgetOtherDays(now);
    return static_cast<std::size_t>(
        std::count_if(m_orders.begin(), m_orders.end(),
                      [](const DayOrder& order) { return order.state == OrderState::Open; }));
}

std::vector<OrderReminder> OrderBook::TakeDueReminders(int minutes, int maxCount,
                                                       milliseconds unit) {
    if (minutes <= 0 || maxCount <= 0 || unit <= milliseconds::zero()) {
        return {};
    }
    const TimePoint now = m_clock();
    const auto period = unit * minutes;
    const std::lock_guard lock(m_mutex);
    ForgetOtherDays(now);
    std::vector<OrderReminder> due;
    for (DayOrder& order : m_orders) {
        if (order.state != OrderState::Open || order.reminders >= maxCount ||
            now - order.received < period * (order.reminders + 1) ||
            (order.reminders > 0 && now - order.lastReminder < period)) {
            continue;
        }
        ++order.reminders;
        order.lastReminder = now;
        due.push_back({order.serial, order.seat, order.address, (now - order.received) / unit});
    }
    if (!due.empty()) {
        ++m_generation;
    }
    return due;
}

// Whole: a reader after a power cut finds the old or the new day's orders. One writer at a time,
// each with the newest orders, so an older snapshot never replaces a newer one.
void OrderBook::Flush() {
    const std::lock_guard writing(m_writeMutex);
    std::string content;
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(m_mutex);
        if (m_generation == m_savedGeneration) {
            return;
        }
        generation = m_generation;
        for (const DayOrder& order : m_orders) {
            content += JoinFields(
                {m_day, order.serial, order.seat, order.address, Milliseconds(order.received),
                 kStateWords[static_cast<std::size_t>(order.state)], Milliseconds(order.handled),
                 std::to_string(order.reminders), Milliseconds(order.lastReminder)});
            content += '\n';
        }
    }
    std::error_code ignored;
    std::filesystem::create_directories(m_file.parent_path(), ignored);
    if (const auto replaced = ReplaceFileSafely(m_file, content); !replaced) {
        log::Error("today's orders cannot be written ({}): they are kept until the console ends",
                   replaced.failure);
        return;
    }
    const std::lock_guard lock(m_mutex);
    m_savedGeneration = generation;
}

}  // namespace zn::console
