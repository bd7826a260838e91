#include "DemoRoad.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

#include "DocsPictures.h"
#include "ProgramTraces.h"
#include "Sandbox.h"
#include "Screens.h"
#include "ShopActions.h"
#include "WaitFor.h"
#include "platform/TextCodec.h"

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

// For any one step; the browsers' start included.
constexpr auto kStepLimit = 40s;

std::filesystem::path Output(const DemoPlaces& places) {
    return places.state / "output";
}
std::filesystem::path CounterDialogs(const DemoPlaces& places) {
    return Output(places) / "console-dialogs.jsonl";
}
std::filesystem::path SeatDialogs(const DemoPlaces& places) {
    return Output(places) / "seat-dialogs.jsonl";
}

// The text of the counter's last popup that holds the words; empty when there is none.
std::string PopupText(const DemoPlaces& places, std::string_view words) {
    const std::string line = LastDialogLine(CounterDialogs(places), {"\"kind\":\"popup\"", words});
    const std::string_view field = "\"text\":\"";
    const auto start = line.find(field);
    const auto end = line.rfind("\"}");
    if (start == std::string::npos || end == std::string::npos || end < start + field.size()) {
        return {};
    }
    return line.substr(start + field.size(), end - start - field.size());
}

bool WaitForPopup(const DemoPlaces& places, std::string_view words) {
    return zn::test::WaitFor([&] { return !PopupText(places, words).empty(); }, kStepLimit);
}

// The seat keeps the page the console sent it as GB2312 bytes.
bool WaitForSeatPage(const DemoPlaces& places, std::string_view words) {
    const std::string bytes = TextCodec::Utf8ToGb2312(words);
    return zn::test::WaitFor(
        [&] {
            return zn::test::ReadFile(places.state / "seat" / "MyZentrova2.html")
                       .value_or("")
                       .find(bytes) != std::string::npos;
        },
        kStepLimit);
}

std::string Amount(const webhost::Order& order) {
    const long long fen = order.priceFen * order.quantity;
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%02lld 元", fen / 100, fen % 100);
    return text;
}

// The seat viewer's text that the cashier opens from the order's page ("IP：…\n座号：…", the line
// feed escaped as the dialog log writes it); empty when it did not open.
std::string ViewSeat(BackOfficeFront& front, const DemoPlaces& places) {
    front.Queue(std::string(kTransactionPath),
                "document.getElementById('ButtonViewSeat').click();");
    if (!WaitForDialogLine(CounterDialogs(places), {"\"caption\":\"座号查看器\""}, kStepLimit)) {
        return {};
    }
    const std::string line = LastDialogLine(CounterDialogs(places), {"\"caption\":\"座号查看器\""});
    const std::string_view field = "\"text\":\"";
    const auto start = line.find(field);
    const auto end = start == std::string::npos ? start : line.find('"', start + field.size());
    return end == std::string::npos ? std::string{}
                                    : line.substr(start + field.size(), end - start - field.size());
}

// The popup, the order page, the seat viewer and SeatList.xml name one seat address and seat.
void CheckAddresses(BackOfficeFront& front, const DemoPlaces& places, Transcript& transcript,
                    const webhost::Order& order) {
    const std::string& address = places.seatAddress;
    const std::string seat = order.seat.empty() ? "未知" : order.seat;
    const std::string viewer = ViewSeat(front, places);
    transcript.Note("counter: seat viewer (座位表) \"" + viewer + "\"");
    std::vector<std::string> disagree;
    if (PopupText(places, "商品购买请求").find("客户 " + address + "[座号：" + seat + "]") ==
        std::string::npos) {
        disagree.push_back("the popup");
    }
    if (order.seatAddress != address) {
        disagree.push_back("the order page (" + order.seatAddress + ")");
    }
    if (viewer != "IP：" + address + "\\n座号：" + seat) {
        disagree.push_back("the seat viewer");
    }
    if (zn::test::ReadFile(places.state / "console" / "SeatList.xml")
            .value_or("")
            .find("IP=\"" + address + "\"") == std::string::npos) {
        disagree.push_back("SeatList.xml");
    }
    std::string names;
    for (const std::string& place : disagree) {
        names += (names.empty() ? "" : ", ") + place;
    }
    transcript.Expect(
        disagree.empty(),
        "addresses agree: the popup, the order page, the seat viewer and "
        "SeatList.xml name the seat at " +
            address + " (seat " + seat + ")",
        "the addresses disagree: the seat is at " + address + ", but not in " + names);
}

// The customer orders; the order's serial, empty when it did not arrive.
std::string Order(BackOfficeFront& front, const DemoPlaces& places, Transcript& transcript) {
    const std::string serial = OrderInTheShop(front, 1, kStepLimit);
    const auto order = front.FindOrder(serial);
    if (!order) {
        transcript.Fail("no order was placed in the shop");
        return {};
    }
    transcript.Note("customer: ordered " + order->goodsName + " × " +
                    std::to_string(order->quantity) + " (" + Amount(*order) + "): order " + serial +
                    ", seat " + order->seat + " (" + order->seatAddress +
                    ") as the greeting put it into the shop's address");
    if (!WaitForPopup(places, "商品购买请求")) {
        transcript.Fail("the counter did not announce the order");
        return {};
    }
    transcript.Note("counter: popup \"" + PopupText(places, "商品购买请求") + "\"");
    std::this_thread::sleep_for(1s);  // the popup slides out
    Screenshot(transcript, places.counterDisplay, Output(places) / "counter-popup.png");
    PictureCounter(places, transcript);
    Screenshot(transcript, places.seatDisplay, Output(places) / "seat-shop.png");
    transcript.Note("counter: the console opened the order's transaction page");
    transcript.Expect(WaitForSeatPage(places, "服务台已收到信息"),
                      "seat: received the notice page (MyZentrova2.html)",
                      "the seat did not receive the notice page");
    CheckAddresses(front, places, transcript, *order);
    return serial;
}

void Message(BackOfficeFront& front, const DemoPlaces& places, Transcript& transcript) {
    LeaveMessage(front, "请送一瓶矿泉水到我的座位");
    if (WaitForPopup(places, "顾客消息")) {
        transcript.Note("counter: popup \"" + PopupText(places, "顾客消息") + "\"");
    } else {
        transcript.Fail("the customer's message did not reach the counter");
    }
    transcript.Expect(
        WaitForDialogLine(SeatDialogs(places), {"您的信息已经发送至网吧收银台"}, kStepLimit),
        "seat: told the customer the message was sent",
        "the seat did not tell the customer that the message went out");
}

void Complete(BackOfficeFront& front, const DemoPlaces& places, Transcript& transcript,
              const std::string& serial) {
    CompleteOrder(front);
    if (!front.WaitForPage(std::string(kSuccessPath) + "?transid=" + serial, kStepLimit)) {
        transcript.Fail("the cashier's completion did not go through");
        return;
    }
    transcript.Note(
        "counter: cashier clicked 完成交易; the console sent the result and opened the success "
        "page");
    transcript.Expect(
        WaitForSeatPage(places, "交易成功"),
        "seat: shows the result page: 交易成功, order " + serial + " (MyZentrova2.html, GB2312)",
        "the result did not reach the seat");
    if (const auto order = front.FindOrder(serial)) {
        transcript.Note("back office: order " + serial + " is now \"" +
                        webhost::OrderStateText(order->state) + "\"");
    }
}

// The customer orders again right after the first order; the second order's serial, empty when
// the counter did not announce it.
std::string OrderAgain(BackOfficeFront& front, const DemoPlaces& places, Transcript& transcript) {
    const std::string serial = OrderInTheShop(front, 2, kStepLimit);
    if (serial.empty() ||
        !WaitForDialogLine(CounterDialogs(places), {"\"kind\":\"popup\"", "商品购买请求"},
                           kStepLimit, 2)) {
        transcript.Fail("the counter did not announce the second order");
        return {};
    }
    transcript.Note("customer: ordered again at once: order " + serial +
                    "; the console opened its page in place of the first order's");
    return serial;
}

// "今日订单", opened from the back office's page: the first order still open, the second done.
void TodaysOrders(BackOfficeFront& front, const DemoPlaces& places, Transcript& transcript,
                  const std::string& open, const std::string& completed) {
    front.Queue(std::string(kSuccessPath), "document.getElementById('ButtonTodayOrders').click();");
    const std::vector<std::string_view> window = {"\"kind\":\"window\"", "今日订单",
                                                  "待处理 1 笔，今日共 2 笔"};
    if (!WaitForDialogLine(CounterDialogs(places), window, kStepLimit)) {
        transcript.Fail("the day's orders did not open with one open and one completed order");
        return;
    }
    const std::string rows = LastDialogLine(CounterDialogs(places), window);
    transcript.Expect(rows.find(open + " 待处理") != std::string::npos &&
                          rows.find(completed + " 已完成") != std::string::npos,
                      "counter: 今日订单 lists order " + open + " as 待处理 and order " +
                          completed + " as 已完成",
                      "the day's orders do not show the two orders' states: " + rows);
    std::this_thread::sleep_for(1s);  // the window paints
    Screenshot(transcript, places.counterDisplay, Output(places) / "counter-orders.png");
}

}  // namespace

bool PlayCustomerAndCashier(BackOfficeFront& front, const DemoPlaces& places,
                            Transcript& transcript) {
    const std::string shop = std::string(kShopPath) + "?";
    const auto pages = front.ServedPages();
    transcript.Expect(std::any_of(pages.begin(), pages.end(),
                                  [&](const std::string& page) {
                                      return page.starts_with(shop) && page.ends_with("&first=1");
                                  }),
                      "seat: the shop page was opened with &first=1",
                      "the seat did not open the shop page with &first=1");
    transcript.Expect(
        zn::test::WaitFor(
            [&] {
                return zn::test::ReadFile(places.state / "registry" / "HKEY_CURRENT_USER.reg")
                           .value_or("")
                           .find("ZoneMap") != std::string::npos;
            },
            kStepLimit),
        "seat: the shop registered its trusted sites",
        "the shop's trusted sites were not registered");
    PictureSeat(places, transcript);
    const std::string serial = Order(front, places, transcript);
    if (serial.empty()) {
        return false;
    }
    const std::string second = OrderAgain(front, places, transcript);
    if (second.empty()) {
        return false;
    }
    Message(front, places, transcript);
    Complete(front, places, transcript, second);
    std::this_thread::sleep_for(2s);  // the last page paints
    Screenshot(transcript, places.counterDisplay, Output(places) / "counter.png");
    Screenshot(transcript, places.seatDisplay, Output(places) / "seat.png");
    TodaysOrders(front, places, transcript, serial, second);
    PictureConfigWelcome(places, transcript);
    return !transcript.Failed();
}

}  // namespace zn::e2e
