#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zn::webhost {

enum class OrderState { Open, Delivered, DeliveryFailed, Cancelled };
enum class ChangeResult { Done, Unknown, NotAllowed };

// What a back office allows: an open order, or one whose result did not reach the seat, may be
// completed (again) or cancelled; a delivered or cancelled order is final. Moving to the state an
// order has is allowed and changes nothing.
bool MayMove(OrderState from, OrderState to);
// A result may be sent again only once one was sent.
bool MayReSend(OrderState state);

// What the shop sends; the store assigns the serial and the time.
struct NewOrder {
    std::string goodsId;
    std::string goodsName;
    long long priceFen = 0;
    int quantity = 1;
    std::string seat;         // seat number as the console's greeting gave it; may be empty
    std::string seatAddress;  // dotted IPv4 address of the seat, or empty when unknown
    std::string customerId;
};

struct Order : NewOrder {
    std::uint64_t serial = 0;
    std::chrono::system_clock::time_point created;
    OrderState state = OrderState::Open;
    int resends = 0;
};

// The host's orders, in memory and bounded: beyond the capacity the oldest order is dropped.
// Serials increase by one from a start chosen at random, so that a restarted host does not hand
// out the serials of its previous run again. Safe to use from several threads.
class OrderStore {
public:
    static constexpr std::size_t kDefaultCapacity = 10000;

    explicit OrderStore(std::size_t capacity = kDefaultCapacity);
    OrderStore(std::size_t capacity, std::uint64_t firstSerial);

    // The new order's serial.
    std::uint64_t Add(NewOrder order);
    std::optional<Order> Find(std::uint64_t serial) const;
    // Unknown: never taken, or dropped; NotAllowed leaves the order as it was.
    ChangeResult Move(std::uint64_t serial, OrderState state);
    ChangeResult RecordReSend(std::uint64_t serial);
    // Up to count orders, newest first.
    std::vector<Order> Recent(std::size_t count) const;
    // The newest order of the seat at this address; nullopt when it has none (an empty address
    // has none either).
    std::optional<Order> LatestOfSeat(std::string_view seatAddress) const;
    std::size_t Size() const;

private:
    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::uint64_t m_nextSerial;
    std::deque<Order> m_orders;  // oldest first
};

// The state as the back office shows it ("待处理", ...).
const char* OrderStateText(OrderState state);

}  // namespace zn::webhost
