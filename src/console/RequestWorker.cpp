#include "console/RequestWorker.h"

#include <algorithm>

#include "console/ConsoleSettings.h"
#include "console/LoginState.h"
#include "console/NavigationHandOver.h"
#include "console/QueryValue.h"
#include "console/RequestUi.h"
#include "console/SeatFeedback.h"
#include "console/SeatList.h"
#include "net/Frame.h"
#include "net/SocketAddress.h"
#include "net/TcpSocket.h"
#include "platform/Log.h"
#include "platform/TextCodec.h"

namespace zn::console {

namespace {

constexpr int kAppearMs = 500;
constexpr int kHideMs = 500;
constexpr int kStep = 3;
constexpr int kOrderVisibleMs = 8000;
constexpr int kMessageVisibleMs = 40000;
constexpr std::string_view kMessagePopupMark = "]的顾客消息：";

std::string SeatForPopup(const RequestContext& context, const std::string& address) {
    std::string seat = LookUpSeat(context.programFolder, address);
    return seat.empty() ? std::string(kUnknownSeat) : seat;
}

// The ANSI text after the kind letter(s), as UTF-8.
std::string SerialAfter(std::span<const std::byte> body, std::size_t offset) {
    return TextCodec::GbkToUtf8(TextUpToNul(body.subspan(std::min(offset, body.size()))));
}

// Kind, seat and serial (a customer message: its length only; it is the customer's text).
void LogRequest(const RequestContext& context, std::span<const std::byte> body,
                const std::string& address) {
    const std::string seat = LookUpSeat(context.programFolder, address);
    if (!body.empty() && static_cast<char>(body[0]) == 'X') {
        log::Info("request X from {} seat '{}': a message of {} bytes", address,
                  log::Printable(seat), body.size());
        return;
    }
    log::Info("request '{}' from {} seat '{}'",
              log::Printable(TextCodec::GbkToUtf8(TextUpToNul(body))), address,
              log::Printable(seat));
}

void OpenTransactionPage(const RequestContext& context, const std::string& serial) {
    const ConsoleSettings settings(context.registry);
    // The serial comes from any seat on the network: it must not add to the back office's query.
    context.navigation.RequestNavigation(settings.ViewTransPageMurvel() +
                                         "?transid=" + EncodeQueryValue(serial));
}

void SendNoticePage(const RequestContext& context, const CSocketAddress& peer) {
    const auto page = ReadPageFile(context.programFolder / kNoticePageFileName);
    if (!page) {
        return;
    }
    const std::uint16_t port = ConsoleSettings(context.registry).RemotePort();
    SendPageToSeat(peer, port, *page);
}

}  // namespace

std::string MessagePopupText(const std::string& address, const std::string& seat,
                             const std::string& text) {
    return "来自" + address + "[座号：" + seat + std::string(kMessagePopupMark) + text;
}

bool IsMessagePopupText(std::string_view popupText) {
    // An order's popup starts otherwise; a message's own text comes only after the mark.
    return popupText.starts_with("来自") && popupText.find(kMessagePopupMark) != std::string::npos;
}

void ServeRequestConnection(const RequestContext& context, CTcpSocket& connection,
                            const CSocketAddress& peer, std::uint32_t frameCap,
                            IRequestAlerts& alerts) {
    const LoginSnapshot login = context.login.Snapshot();
    std::string greeting;
    if (login.loggedIn) {
        greeting = "&cid_murvel=" + login.customerId +
                   "&seat=" + LookUpSeat(context.programFolder, peer.Dotted());
    }
    if (!SendTextFrame(connection, TextCodec::Utf8ToGbk(greeting))) {
        log::Info("seat {}: the greeting could not be sent", peer.Dotted());
        return;
    }
    // Older seats send their next request on the same connection; each one is served, in order.
    while (const auto body = ReceiveFrame(connection, frameCap)) {
        if (!context.login.IsLoggedIn()) {
            log::Info("seat {}: a request came after the console logged out; closed",
                      peer.Dotted());
            return;
        }
        ReactToRequest(context, *body, peer, alerts);
    }
}

void ReactToRequest(const RequestContext& context, std::span<const std::byte> body,
                    const CSocketAddress& peer, IRequestAlerts& alerts) {
    // An empty body has no kind letter; it is handled like a body that is only the NUL.
    const char kind = body.empty() ? '\0' : static_cast<char>(body[0]);
    const std::string address = peer.Dotted();
    // The seat waits for its page; the log line can wait for the page.
    if (kind != 'Z' && kind != 'X') {
        SendNoticePage(context, peer);
    }
    LogRequest(context, body, address);

    if (kind == 'Z') {
        if (body.size() >= 2 && static_cast<char>(body[1]) == 'O') {
            OpenTransactionPage(context, SerialAfter(body, 2));
            context.ui.ShowMaximizedAndRaise();
        }
    } else if (kind == 'X') {
        const std::string seat = SeatForPopup(context, address);
        const std::string text = MessageBodyText(body);
        context.ui.KeepCustomerMessage(seat, address, text);
        context.ui.ShowText(MessagePopupText(address, seat, text), kAppearMs, kMessageVisibleMs,
                            kHideMs, kStep);
    } else if (kind == 'O') {
        const std::string serial = SerialAfter(body, 1);
        OpenTransactionPage(context, serial);
        const std::string seat = SeatForPopup(context, address);
        context.ui.KeepOrder(serial, seat, address);
        context.ui.ShowText("收到来自客户 " + address + "[座号：" + seat + "] 的商品购买请求！",
                            kAppearMs, kOrderVisibleMs, kHideMs, kStep);
    }

    alerts.RingBell();
    // Listeners get the body up to its first zero byte, for a customer message too.
    alerts.TellListeners(TextCodec::GbkToUtf8(TextUpToNul(body)));
}

}  // namespace zn::console
