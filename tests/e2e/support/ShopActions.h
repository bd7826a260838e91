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
