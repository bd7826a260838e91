#include "console/OrderTexts.h"

#include <algorithm>

#include "console/ConsoleTexts.h"
#include "console/StateFileFields.h"

namespace zn::console {

namespace {

std::string StateText(const DayOrder& order) {
    const std::string handled = " " + LocalClockTime(order.handled);
    switch (order.state) {
        case OrderState::Open:
            return std::string(texts::kOrderOpen);
        case OrderState::Completed:
            return std::string(texts::kOrderCompleted) + handled;
        case OrderState::NotDelivered:
            return std::string(texts::kOrderNotDelivered) + handled;
        case OrderState::Cancelled:
            return std::string(texts::kOrderCancelled) + handled;
    }
    return {};
}

std::size_t CountOpen(const std::vector<DayOrder>& orders) {
    return static_cast<std::size_t>(
        std::count_if(orders.begin(), orders.end(),
                      [](const DayOrder& order) { return order.state == OrderState::Open; }));
}

}  // namespace

std::vector<OrderRow> DescribeOrders(const std::vector<DayOrder>& orders) {
    std::vector<OrderRow> rows;
    rows.reserve(orders.size());
    for (const DayOrder& order : orders) {
        rows.push_back({LocalClockTime(order.received), order.seat + " (" + order.address + ")",
                        order.serial, StateText(order), order.state == OrderState::Open});
    }
    return rows;
}

std::string OrdersSummaryText(const std::vector<DayOrder>& orders) {
    const auto& parts = texts::kOrdersSummary;
    return std::string(parts[0]) + std::to_string(CountOpen(orders)) + std::string(parts[1]) +
           std::to_string(orders.size()) + std::string(parts[2]);
}

std::string TrayTipText(std::size_t openOrders) {
    std::string tip(texts::kTrayTip);
    if (openOrders > 0) {
        tip += "\n" + std::to_string(openOrders) + std::string(texts::kOrdersPendingTip);
    }
    return tip;
}

std::string OrdersButtonText(std::size_t openOrders) {
    if (openOrders == 0) {
        return std::string(texts::kOrdersCaption);
    }
    const auto& parts = texts::kOrdersButtonPending;
    return std::string(parts[0]) + std::to_string(openOrders) + std::string(parts[1]);
}

std::string ReminderText(const OrderReminder& reminder) {
    const auto& parts = texts::kOrderReminder;
    return std::string(parts[0]) + reminder.seat + std::string(parts[1]) + reminder.serial +
           std::string(parts[2]) + std::to_string(reminder.waited) + std::string(parts[3]);
}

}  // namespace zn::console
