#include "WebHost.h"

#include <arpa/inet.h>

#include <atomic>
#include <charconv>
#include <ctime>
#include <fstream>
#include <sstream>

#include "Catalogue.h"
#include "HostOptions.h"
#include "PartnerSounds.h"
#include "platform/Log.h"
#include "platform/NetworkInfo.h"
#include "platform/TextCodec.h"

namespace zn::webhost {

namespace {

// Bounds on what a page or the shop may hand us; longer values are cut, never refused.
constexpr std::size_t kMaxNameBytes = 64;    // user, employee, seat
constexpr std::size_t kMaxIdBytes = 32;      // customer id, MAC text
constexpr std::size_t kMaxSerialBytes = 20;  // digits of a 64-bit serial
constexpr std::size_t kMaxPasswordBytes = 64;
constexpr std::size_t kMaxAddressBytes = 45;  // longest textual IP address
constexpr std::size_t kMaxRequestBody = 16 * 1024;
constexpr std::size_t kMaxLoggedPath = 200;
constexpr std::size_t kOrdersListed = 50;
constexpr int kMaxQuantity = 10;

constexpr const char* kBackOfficeTitle = "墨维网吧收银台";
constexpr const char* kTransactionTitle = "墨维网吧收银台——订单处理";
constexpr const char* kShopTitle = "网吧购物充值客户端";
constexpr const char* kSoundPageTitle = "选择收银台的提示声音";
constexpr const char* kConfirmationTitle = "您的订单";
constexpr const char* kTrustSites = "wb$zentrova-shop.local$pay$zentrova-shop.local";

std::string Param(const httplib::Request& request, const char* name, std::size_t maxBytes) {
    return BoundedText(request.get_param_value(name), maxBytes);
}

// A value that the programs put into the address they open: code page 936 bytes, like every
// text at the programs' edges. The pages' own scripts send UTF-8 (Param).
std::string ProgramParam(const httplib::Request& request, const char* name, std::size_t maxBytes) {
    return BoundedText(TextCodec::GbkToUtf8(request.get_param_value(name)), maxBytes);
}

// The whole text as a number, or nullopt.
template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
    Number number{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}

// The seat's address only when it is a dotted IPv4 address, which is what the console connects to.
std::string SeatAddress(std::string_view text) {
    const std::string candidate = BoundedText(text, kMaxAddressBytes);
    in_addr parsed{};
    return inet_pton(AF_INET, candidate.c_str(), &parsed) == 1 ? candidate : std::string();
}

// The seat that asks, by the address it orders with. A peer on this machine is a seat here (the
// demo's one seat), whose orders carry the machine's own address, as the seat takes it.
std::string SeatAddressOfPeer(const std::string& peer) {
    in_addr parsed{};
    const bool loopback = peer == "::1" || (inet_pton(AF_INET, peer.c_str(), &parsed) == 1 &&
                                            (ntohl(parsed.s_addr) >> 24) == 127);
    return loopback ? NetworkInfo::OwnIpv4Address().value_or("") : SeatAddress(peer);
}

std::string FormatTime(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

const char* StateClass(OrderState state) {
    switch (state) {
        case OrderState::Open:
            return "open";
        case OrderState::Delivered:
            return "done";
        case OrderState::DeliveryFailed:
            return "failed";
        case OrderState::Cancelled:
            return "cancelled";
    }
    return "";
}

std::string ContentType(std::string_view fileName) {
    if (fileName.ends_with(".css")) {
        return "text/css; charset=utf-8";
    }
    if (fileName.ends_with(".js")) {
        return "text/javascript; charset=utf-8";
    }
    return "text/html; charset=utf-8";
}

const char* HiddenUnless(bool shown) {
    return shown ? "" : "hidden";
}

// The page offers only what the order's state allows.
void AddActionValues(const std::optional<Order>& order, PageValues& values) {
    const auto may = [&](OrderState to) {
        return order && order->state != to && MayMove(order->state, to);
    };
    values["commitHidden"] = HiddenUnless(may(OrderState::Delivered));
    values["cancelHidden"] = HiddenUnless(may(OrderState::Cancelled));
    values["resendHidden"] = HiddenUnless(order && MayReSend(order->state));
    values["resends"] = order ? std::to_string(order->resends) : "0";
    values["resendsHidden"] = HiddenUnless(order && order->resends > 0);
}

void AddOrderValues(const std::optional<Order>& order, PageValues& values) {
    AddActionValues(order, values);
    values["refusedHidden"] = "hidden";
    values["found"] = order ? "1" : "0";
    values["missingHidden"] = order ? "hidden" : "";
    values["foundHidden"] = order ? "" : "hidden";
    if (!order) {
        values["seat"] = "未知";
        return;
    }
    values["clientIp"] = order->seatAddress;
    values["goods"] = order->goodsName;
    values["quantity"] = std::to_string(order->quantity);
    values["price"] = FormatPrice(order->priceFen);
    values["amount"] = FormatPrice(order->priceFen * order->quantity);
    values["seat"] = order->seat.empty() ? "未知" : order->seat;
    values["seatAddress"] = order->seatAddress.empty() ? "未知" : order->seatAddress;
    values["customerId"] = order->customerId;
    values["created"] = FormatTime(order->created);
    values["state"] = OrderStateText(order->state);
    values["stateClass"] = StateClass(order->state);
}

void AnswerChange(ChangeResult result, httplib::Response& response) {
    switch (result) {
        case ChangeResult::Done:
            response.set_content("{\"ok\":true}", "application/json");
            return;
        case ChangeResult::Unknown:
            response.status = 404;
            response.set_content("{\"error\":\"unknown order\"}", "application/json");
            return;
        case ChangeResult::NotAllowed:
            response.status = 409;
            response.set_content("{\"error\":\"not allowed in the order's state\"}",
                                 "application/json");
            return;
    }
}

std::string CatalogueMarkup() {
    std::string markup;
    std::string_view category;
    for (const Goods& goods : Catalogue()) {
        if (goods.category != category) {
            if (!category.empty()) {
                markup += "</div></section>\n";
            }
            category = goods.category;
            markup += "<section class=\"category\"><h2>" + EscapeHtml(category) +
                      "</h2><div class=\"goods-grid\">\n";
        }
        markup += "<div class=\"goods\"><div class=\"goods-name\">" + EscapeHtml(goods.name) +
                  "</div><div class=\"goods-price\">" + FormatPrice(goods.priceFen) +
                  "</div><div class=\"goods-buy\"><select class=\"qty\" aria-label=\"数量\">";
        for (int quantity = 1; quantity <= 5; ++quantity) {
            markup += "<option>" + std::to_string(quantity) + "</option>";
        }
        markup += "</select><button type=\"button\" class=\"order\" data-goods=\"" +
                  EscapeHtml(goods.id) + "\">购买</button></div></div>\n";
    }
    if (!category.empty()) {
        markup += "</div></section>\n";
    }
    return markup;
}

std::string SoundListMarkup() {
    std::string markup;
    bool first = true;
    for (const PartnerSound& sound : PartnerSounds()) {
        const std::string path = std::string(kPartnerSoundFolder) + std::string(sound.fileName);
        markup += "<li><label><input type=\"radio\" name=\"sound\" value=\"" + EscapeHtml(path) +
                  "\"" + (first ? " checked" : "") + "> " + EscapeHtml(sound.label) +
                  "</label> <button type=\"button\" class=\"listen\" data-sound=\"/" +
                  EscapeHtml(path) + "\">试听</button></li>\n";
        first = false;
    }
    return markup;
}

void SoundFile(std::string_view fileName, httplib::Response& response) {
    const auto wav = PartnerSoundWav(fileName);
    if (!wav) {
        response.status = 404;
        return;
    }
    response.set_header("Cache-Control", "no-store");
    response.set_content(*wav, "audio/wav");
}

}  // namespace

WebHost::WebHost(WebHostConfig config) : m_config(std::move(config)) {}

WebHost::~WebHost() {
    Stop();
}

std::vector<WebHost::Route> WebHost::RouteTable() {
    using Request = httplib::Request;
    using Response = httplib::Response;
    std::vector<Route> routes = {
        {"GET", "/", [](const Request&, Response& r) { r.set_redirect("/wb/loginsyt.jsp"); }},
        {"GET", "/wb/loginsyt.jsp",
         [this](const Request& q, Response& r) { LoginOrMainPage(q, r); }},
        {"GET", "/wb/orders.jsp", [this](const Request& q, Response& r) { OrderListPage(q, r); }},
        {"GET", "/jsp/empManage/noProcessInfo.jsp",
         [this](const Request& q, Response& r) { TransactionPage(q, r); }},
        {"GET", "/wb/send_trans_success.jsp",
         [this](const Request& q, Response& r) { TransactionDonePage(q, r, true); }},
        {"GET", "/wb/send_trans_fail.jsp",
         [this](const Request& q, Response& r) { TransactionDonePage(q, r, false); }},
        {"GET", "/wb/send_trans_cancel.jsp",
         [this](const Request& q, Response& r) { TransactionCancelPage(q, r); }},
        {"GET", "/wb/indexc.jsp", [this](const Request& q, Response& r) { ShopPage(q, r); }},
        {"GET", "/wb/wbddqr.jsp",
         [this](const Request& q, Response& r) { OrderConfirmationPage(q, r); }},
        {"POST", "/wb/order", [this](const Request& q, Response& r) { CreateOrder(q, r); }},
        {"POST", "/wb/order/resend", [this](const Request& q, Response& r) { ReSendOrder(q, r); }},
        {"GET", "/wb/notice.html",
         [this](const Request&, Response& r) { StaticFile("notice.html", r); }},
        {"GET", "/wb/style/backoffice.css",
         [this](const Request&, Response& r) { StaticFile("backoffice.css", r); }},
        {"GET", "/wb/script/backoffice.js",
         [this](const Request&, Response& r) { StaticFile("backoffice.js", r); }},
        {"GET", "/wb/style/shop.css",
         [this](const Request&, Response& r) { StaticFile("shop.css", r); }},
        {"GET", "/9tqa/sounddownload.aspx", [this](const Request&, Response& r) { SoundPage(r); }},
    };
    for (const PartnerSound& sound : PartnerSounds()) {
        routes.push_back(
            {"GET", "/" + std::string(kPartnerSoundFolder) + std::string(sound.fileName),
             [name = sound.fileName](const Request&, Response& r) { SoundFile(name, r); }});
    }
    return routes;
}

std::optional<int> WebHost::Start(int port) {
    if (m_server || (!m_config.allowLan && !IsLoopbackAddress(m_config.bindAddress))) {
        return std::nullopt;
    }
    auto server = std::make_unique<httplib::Server>();
    server->set_payload_max_length(kMaxRequestBody);
    for (Route& route : RouteTable()) {
        // Paths are literal; escape the regular-expression characters they may hold.
        std::string pattern;
        for (const char c : route.path) {
            if (std::string_view(".\\+*?()[]{}|^$").find(c) != std::string_view::npos) {
                pattern += '\\';
            }
            pattern += c;
        }
        if (route.method == "POST") {
            server->Post(pattern, std::move(route.handler));
        } else {
            server->Get(pattern, std::move(route.handler));
        }
    }
    if (!m_config.releasesFolder.empty()) {
        // After the pages: a release file never hides a page of the back office or the shop.
        server->Get("/.+", [releases = ReleaseFiles(m_config.releasesFolder)](
                               const httplib::Request& request, httplib::Response& response) {
            releases.Serve(request, response);
        });
    }
    server->set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) {
            const std::string status = std::to_string(response.status);
            response.set_content("<!DOCTYPE html><meta charset=\"utf-8\"><title>" + status +
                                     "</title><p>页面不存在或请求无效（" + status + "）。</p>",
                                 "text/html; charset=utf-8");
        }
    });
    if (m_config.logRequests) {
        // The path comes without its query: the login query carries the password.
        server->set_logger([](const httplib::Request& request, const httplib::Response& response) {
            log::Info("{} {} {}", log::Printable(request.method, kMaxLoggedPath),
                      log::Printable(request.path, kMaxLoggedPath), response.status);
        });
    }

    int boundPort = port;
    if (port == 0) {
        boundPort = server->bind_to_any_port(m_config.bindAddress);
    } else if (!server->bind_to_port(m_config.bindAddress, port)) {
        boundPort = -1;
    }
    if (boundPort <= 0) {
        return std::nullopt;
    }

    // Stop() only works once the server loop runs, so wait until it does (or has already ended).
    auto finished = std::make_shared<std::atomic<bool>>(false);
    m_server = std::move(server);
    m_thread = std::thread([server = m_server.get(), finished] {
        server->listen_after_bind();
        finished->store(true);
    });
    while (!m_server->is_running() && !finished->load()) {
        std::this_thread::yield();
    }
    return boundPort;
}

void WebHost::Stop() {
    if (!m_server) {
        return;
    }
    m_server->stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_server.reset();
}

std::optional<std::string> WebHost::ReadPage(std::string_view fileName) const {
    std::ifstream file(m_config.pagesFolder / fileName, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::optional<std::string> WebHost::FilledPage(std::string_view fileName, const PageValues& values,
                                               httplib::Response& response) const {
    const auto page = ReadPage(fileName);
    if (!page) {
        response.status = 500;
        response.set_content("missing page: " + EscapeHtml(fileName), "text/plain; charset=utf-8");
        return std::nullopt;
    }
    response.set_header("Cache-Control", "no-store");
    return RenderTemplate(*page, values);
}

void WebHost::RenderPage(std::string_view fileName, const PageValues& values,
                         httplib::Response& response) const {
    if (const auto page = FilledPage(fileName, values, response)) {
        response.set_content(*page, ContentType(fileName));
    }
}

void WebHost::RenderGbkPage(std::string_view fileName, const PageValues& values,
                            httplib::Response& response) const {
    if (const auto page = FilledPage(fileName, values, response)) {
        response.set_content(TextCodec::Utf8ToGbk(*page), "text/html; charset=GBK");
    }
}

void WebHost::StaticFile(std::string_view fileName, httplib::Response& response) const {
    const auto content = ReadPage(fileName);
    if (!content) {
        response.status = 404;
        return;
    }
    response.set_content(*content, ContentType(fileName));
}

std::string WebHost::OrderRows() const {
    std::string rows;
    for (const Order& order : m_orders.Recent(kOrdersListed)) {
        const std::string serial = std::to_string(order.serial);
        rows += "<tr><td><a href=\"/jsp/empManage/noProcessInfo.jsp?transid=" + serial + "\">" +
                serial + "</a></td><td>" + EscapeHtml(order.goodsName) + "</td><td>" +
                std::to_string(order.quantity) + "</td><td>" +
                FormatPrice(order.priceFen * order.quantity) + "</td><td>" +
                EscapeHtml(order.seat.empty() ? "未知" : order.seat) + "</td><td>" +
                EscapeHtml(order.seatAddress) + "</td><td>" + FormatTime(order.created) +
                "</td><td><span class=\"state " + StateClass(order.state) + "\">" +
                OrderStateText(order.state) + "</span></td></tr>\n";
    }
    if (rows.empty()) {
        rows =
            "<tr><td colspan=\"8\" "
            "class=\"empty\">暂无订单。顾客在座位上下单后，订单会出现在这里。</td></tr>\n";
    }
    return rows;
}

std::string WebHost::LastSeatAddress() const {
    for (const Order& order : m_orders.Recent(kOrdersListed)) {
        if (!order.seatAddress.empty()) {
            return order.seatAddress;
        }
    }
    return {};
}

void WebHost::RenderMainPage(bool confirmLogin, const std::string& user,
                             const std::string& employee, const std::string& mac,
                             httplib::Response& response) const {
    PageValues values{
        {"title", kBackOfficeTitle},
        {"customerId", m_config.customerId},
        {"user", user},
        {"employee", employee.empty() ? "未填写" : employee},
        {"mac", mac.empty() ? "未取得" : mac},
        {"confirmLogin", confirmLogin ? "1" : "0"},
        {"welcomeHidden", confirmLogin ? "" : "hidden"},
        {"orderCount", std::to_string(m_orders.Size())},
        {"lastSeatAddress", LastSeatAddress()},
        {"orderRows", OrderRows()},
    };
    RenderPage("main.html", values, response);
}

void WebHost::LoginOrMainPage(const httplib::Request& request, httplib::Response& response) {
    if (!request.has_param("saleusername")) {
        RenderPage("login.html", {{"title", kBackOfficeTitle}}, response);
        return;
    }
    const std::string user = ProgramParam(request, "saleusername", kMaxNameBytes);
    const std::string password = ProgramParam(request, "salepsw", kMaxPasswordBytes);
    if (user.empty() || user != m_config.user || password != m_config.password) {
        RenderPage("login_failed.html", {{"title", kBackOfficeTitle}, {"user", user}}, response);
        return;
    }
    RenderMainPage(true, user, ProgramParam(request, "saleempname", kMaxNameBytes),
                   ProgramParam(request, "salemac", kMaxIdBytes), response);
}

void WebHost::OrderListPage(const httplib::Request&, httplib::Response& response) {
    RenderMainPage(false, {}, {}, {}, response);
}

void WebHost::TransactionPage(const httplib::Request& request, httplib::Response& response) {
    const std::string transId = ProgramParam(request, "transid", kMaxSerialBytes);
    const auto serial = ParseNumber<std::uint64_t>(transId);
    const std::optional<Order> order = serial ? m_orders.Find(*serial) : std::nullopt;
    PageValues values{{"title", kTransactionTitle}, {"transId", transId}};
    AddOrderValues(order, values);
    RenderPage("transaction.html", values, response);
}

void WebHost::TransactionDonePage(const httplib::Request& request, httplib::Response& response,
                                  bool delivered) {
    const std::string transId = ProgramParam(request, "transid", kMaxSerialBytes);
    const auto serial = ParseNumber<std::uint64_t>(transId);
    const OrderState outcome = delivered ? OrderState::Delivered : OrderState::DeliveryFailed;
    const bool refused = serial && m_orders.Move(*serial, outcome) == ChangeResult::NotAllowed;
    const std::optional<Order> order = serial ? m_orders.Find(*serial) : std::nullopt;
    PageValues values{{"title", kTransactionTitle}, {"transId", transId}};
    AddOrderValues(order, values);
    if (refused) {
        // A cancelled order stays cancelled: its page says so instead of a done page.
        values["refusedHidden"] = "";
        values["wanted"] = OrderStateText(outcome);
        RenderPage("transaction.html", values, response);
        return;
    }
    RenderPage(delivered ? "done_success.html" : "done_fail.html", values, response);
}

void WebHost::SoundPage(httplib::Response& response) const {
    RenderPage("sounddownload.html", {{"title", kSoundPageTitle}, {"sounds", SoundListMarkup()}},
               response);
}

void WebHost::TransactionCancelPage(const httplib::Request& request, httplib::Response& response) {
    const std::string transId = ProgramParam(request, "transid", kMaxSerialBytes);
    const auto serial = ParseNumber<std::uint64_t>(transId);
    const bool refused =
        serial && m_orders.Move(*serial, OrderState::Cancelled) == ChangeResult::NotAllowed;
    const std::optional<Order> order = serial ? m_orders.Find(*serial) : std::nullopt;
    PageValues values{{"title", kTransactionTitle}, {"transId", transId}};
    AddOrderValues(order, values);
    if (refused) {
        // A delivered order is final: its page says so instead of a cancellation.
        values["refusedHidden"] = "";
        values["wanted"] = OrderStateText(OrderState::Cancelled);
        RenderPage("transaction.html", values, response);
        return;
    }
    const bool sent = request.get_param_value("sent") == "1";
    values["sentHidden"] = HiddenUnless(sent);
    values["unsentHidden"] = HiddenUnless(!sent);
    RenderPage("done_cancel.html", values, response);
}

void WebHost::ShopPage(const httplib::Request& request, httplib::Response& response) {
    const std::string seat = ProgramParam(request, "seat", kMaxNameBytes);
    const std::string customerId = ProgramParam(request, "cid_murvel", kMaxIdBytes);
    const std::string address = ProgramParam(request, "ip", kMaxAddressBytes);
    PageValues values{
        {"title", kShopTitle},
        {"cid", customerId},
        {"seat", seat},
        {"seatLabel", seat.empty() ? "未知" : seat},
        {"ip", address},
        {"ipLabel", address.empty() ? "未知" : address},
        {"firstLoad", request.get_param_value("first") == "1" ? "1" : "0"},
        {"trustSites", kTrustSites},
        {"catalogue", CatalogueMarkup()},
    };
    RenderPage("shop.html", values, response);
}

void WebHost::OrderConfirmationPage(const httplib::Request& request,
                                    httplib::Response& response) const {
    const std::optional<Order> order =
        m_orders.LatestOfSeat(SeatAddressOfPeer(request.remote_addr));
    PageValues values{{"title", kConfirmationTitle}};
    AddOrderValues(order, values);
    values["serial"] = order ? std::to_string(order->serial) : std::string();
    RenderGbkPage("wbddqr.html", values, response);
}

void WebHost::CreateOrder(const httplib::Request& request, httplib::Response& response) {
    const Goods* goods = FindGoods(Param(request, "goods", kMaxIdBytes));
    const int quantity = ParseNumber<int>(Param(request, "qty", kMaxSerialBytes)).value_or(0);
    if (goods == nullptr || quantity < 1 || quantity > kMaxQuantity) {
        response.status = 400;
        response.set_content("{\"error\":\"bad order\"}", "application/json");
        return;
    }
    NewOrder order;
    order.goodsId = goods->id;
    order.goodsName = goods->name;
    order.priceFen = goods->priceFen;
    order.quantity = quantity;
    order.seat = Param(request, "seat", kMaxNameBytes);
    order.seatAddress = SeatAddress(request.get_param_value("ip"));
    order.customerId = Param(request, "cid", kMaxIdBytes);
    const std::uint64_t serial = m_orders.Add(std::move(order));
    response.set_content("{\"serial\":\"" + std::to_string(serial) + "\",\"amount\":\"" +
                             FormatPrice(goods->priceFen * quantity) + "\"}",
                         "application/json; charset=utf-8");
}

void WebHost::ReSendOrder(const httplib::Request& request, httplib::Response& response) {
    const auto serial = ParseNumber<std::uint64_t>(Param(request, "transid", kMaxSerialBytes));
    AnswerChange(serial ? m_orders.RecordReSend(*serial) : ChangeResult::Unknown, response);
}

}  // namespace zn::webhost
