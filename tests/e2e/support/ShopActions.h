#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "BackOfficeFront.h"

namespace zn::e2e {

// The local web host's pages that the programs open.
inline constexpr std::string_view kShopPath = "/wb/indexc.jsp";
inline constexpr std::string_view kTransactionPath = "/jsp/empManage/noProcessInfo.jsp";
inline constexpr std::string_view kSuccessPath = "/wb/send_trans_success.jsp";
// The main page with the demo account's login query: the console logs in at start by itself.
inline constexpr std::string_view kLoginAtStart =
    "/wb/loginsyt.jsp?wbar=2&saleusername=demo&saleempname=%E5%B0%8F%E7%8E%8B&salepsw=1234"
    "&salemac=";
// The seat at 127.0.0.1 is A08 in the console's seat table.
inline constexpr std::string_view kSeatTable =
    "<SeatList><Seat IP=\"127.0.0.1\">A08</Seat></SeatList>";
inline constexpr std::string_view kGreeting = "&cid_murvel=12&seat=A08";
inline constexpr std::string_view kOrderPopup =
    "收到来自客户 127.0.0.1[座号：A08] 的商品购买请求！";

// A customer's next order: the shop takes none for a moment after the last one (a double click).
inline constexpr std::string_view kClickFirstOrder =
    "(function order() { var b = document.querySelector('button.order');"
    " if (b.disabled) { setTimeout(order, 100); } else { b.click(); } })();";

// What the customer at the seat and the cashier at the counter do, as clicks in the pages that the
// real programs show; the end-to-end tests and the demo act through these alone.

// The customer orders the shop's first goods. The serial of the `count`th transaction page that
// the console then opened; empty when it did not open within the limit.
std::string OrderInTheShop(BackOfficeFront& front, std::size_t count,
                           std::chrono::milliseconds limit);

// The customer leaves a message for the counter in the shop page.
void LeaveMessage(BackOfficeFront& front, std::string_view text);

// The cashier clicks 完成交易 in the transaction page, after the script `before` ran there.
void CompleteOrder(BackOfficeFront& front, std::string_view before = {});

}  // namespace zn::e2e
