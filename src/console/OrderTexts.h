#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "console/OrderBook.h"

namespace zn::console {

// One row of "今日订单" as the window shows it.
struct OrderRow {
    std::string time;  // received, "HH:MM:SS"
    std::string seat;  // "A08 (10.0.0.5)"
    std::string serial;
    std::string state;  // with the time it was handled
    bool open = false;
};

std::vector<OrderRow> DescribeOrders(const std::vector<DayOrder>& orders);
// "待处理 2 笔，今日共 5 笔".
std::string OrdersSummaryText(const std::vector<DayOrder>& orders);
// The tray icon's tip, with the count of open orders when there are any.
std::string TrayTipText(std::size_t openOrders);
// The main window's button that opens the orders.
std::string OrdersButtonText(std::size_t openOrders);
std::string ReminderText(const OrderReminder& reminder);

}  // namespace zn::console
