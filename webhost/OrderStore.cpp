#include "OrderStore.h"

#include <algorithm>
#include <random>

namespace zn::webhost {

namespace {

std::uint64_t RandomFirstSerial() {
    std::random_device device;
    std::uniform_int_distribution<std::uint64_t> pick(100000, 899999);
    return pick(device);
}

// Orders are kept oldest first with strictly increasing serials, so a lookup is a binary search.
template <typename Orders>
auto Locate(Orders& orders, std::uint64_t serial) -> decltype(orders.begin()) {
    auto found = std::lower_bound(
        orders.begin(), orders.end(), serial,
        [](const Order& order, std::uint64_t wanted) { return order.serial < wanted; });
    return (found != orders.end() && found->serial == serial) ? found : orders.end();
}

}  // namespace

OrderStore::OrderStore(std::size_t capacity) : OrderStore(capacity, RandomFirstSerial()) {}

OrderStore::OrderStore(std::size_t capacity, std::uint64_t firstSerial)
    : m_capacity(std::max<std::size_t>(capacity, 1)), m_nextSerial(firstSerial) {}

std::uint64_t OrderStore::Add(NewOrder order) {
    std::lock_guard lock(m_mutex);
    Order stored;
    static_cast<NewOrder&>(stored) = std::move(order);
    stored.serial = m_nextSerial++;
    stored.created = std::chrono::system_clock::now();
    m_orders.push_back(std::move(stored));
    if (m_orders.size() > m_capacity) {
        m_orders.pop_front();
    }
    return m_orders.back().serial;
}

std::optional<Order> OrderStore::Find(std::uint64_t serial) const {
    std::lock_guard lock(m_mutex);
    const auto found = Locate(m_orders, serial);
    if (found == m_orders.end()) {
        return std::nullopt;
    }
    return *found;
}

bool MayMove(OrderState from, OrderState to) {
    const bool changeable = from == OrderState::Open || from == OrderState::DeliveryFailed;
    return from == to || (changeable && to != OrderState::Open);
}

bool MayReSend(OrderState state) {
    return state == OrderState::Delivered || state == OrderState::DeliveryFailed;
}

ChangeResult OrderStore::Move(std::uint64_t serial, OrderState state) {
    std::lock_guard lock(m_mutex);
    const auto found = Locate(m_orders, serial);
    if (found == m_orders.end()) {
        return ChangeResult::Unknown;
    }
    if (!MayMove(found->state, state)) {
        return ChangeResult::NotAllowed;
    }
    found->state = state;
    return ChangeResult::Done;
}

ChangeResult OrderStore::RecordReSend(std::uint64_t serial) {
    std::lock_guard lock(m_mutex);
    const auto found = Locate(m_orders, serial);
    if (found == m_orders.end()) {
        return ChangeResult::Unknown;
    }
    if (!MayReSend(found->state)) {
        return ChangeResult::NotAllowed;
    }
    ++found->resends;
    return ChangeResult::Done;
}

std::vector<Order> OrderStore::Recent(std::size_t count) const {
    std::lock_guard lock(m_mutex);
    const std::size_t taken = std::min(count, m_orders.size());
    return std::vector<Order>(m_orders.rbegin(),
                              m_orders.rbegin() + static_cast<std::ptrdiff_t>(taken));
}

std::optional<Order> OrderStore::LatestOfSeat(std::string_view seatAddress) const {
    if (seatAddress.empty()) {
        return std::nullopt;
    }
    std::lock_guard lock(m_mutex);
    const auto found = std::find_if(m_orders.rbegin(), m_orders.rend(), [&](const Order& order) {
        return order.seatAddress == seatAddress;
    });
    return found == m_orders.rend() ? std::nullopt : std::optional<Order>(*found);
}

std::size_t OrderStore::Size() const {
    std::lock_guard lock(m_mutex);
    return m_orders.size();
}

const char* OrderStateText(OrderState state) {
    switch (state) {
        case OrderState::Open:
            return "待处理";
        case OrderState::Delivered:
            return "已完成";
        case OrderState::DeliveryFailed:
            return "结果未送达";
        case OrderState::Cancelled:
            return "已取消";
    }
    return "";
}

}  // namespace zn::webhost
