// The real ZentrovaNubraClient, offscreen, against the console's request service and the local
// web host, checked through the wire, its files and its dialog log.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BackOfficeFront.h"
#include "ClientHarness.h"
#include "NetNamespace.h"
#include "Sandbox.h"
#include "ShopActions.h"
#include "WaitFor.h"
#include "console/SeatFeedback.h"
#include "net/SocketAddress.h"
#include "net/TcpSocket.h"
#include "platform/TextCodec.h"

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

// Start-up of the browser included; generous for a loaded machine.
constexpr auto kLimit = 15s;

constexpr std::string_view kShopCaption = "网吧购物充值客户端";
constexpr std::string_view kErrorDialog = "与收银台通信错误！";
constexpr std::string_view kCloseQuestion = "请确认您的操作";

std::span<const std::byte> AsBytes(std::string_view text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

// A page as the seat stores it: line feeds as CR LF, and the frame's NUL.
std::string AsStored(std::string_view page) {
    std::string stored;
    for (const char c : page) {
        if (c == '\n') {
            stored += '\r';
        }
        stored += c;
    }
    stored += '\0';
    return stored;
}

class ClientE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(m_feedbackPort, 0) << "no free port for the seat";
        m_sandbox.WriteFile("console/RequestReceived.html", m_notice);
        m_console = std::make_unique<TestConsole>(m_sandbox.Path() / "console", m_feedbackPort);
        // A fixed port, so that a restarted console can bind it again at once.
        ASSERT_TRUE(m_console->Start(FreePort())) << "the console cannot listen";
        WriteSettings("127.0.0.1");
    }

    void WriteSettings(std::string_view serverAddress, int counterMode = 0,
                       std::string_view extra = {}) {
        m_sandbox.WriteFile("seat/gameclient.dat",
                            "[PROFILE_QZ]\r\nRemotePort=" + std::to_string(m_console->Port()) +
                                "\r\nLocalPort=" + std::to_string(m_feedbackPort) +
                                "\r\nCounterMode=" + std::to_string(counterMode) + "\r\nMainPage=" +
                                m_shop.Address(kShopPath) + "\r\n" + std::string(extra));
        m_sandbox.WriteFile("seat/serverip.ini",
                            "[PROFILE_QZ]\r\nServerAddress=" + std::string(serverAddress) + "\r\n");
    }

    std::optional<std::string> SeatFile(std::string_view name) const {
        return zn::test::ReadFile(SeatFolder(m_sandbox) / name);
    }

    bool SeatPageIs(const std::string& page) const {
        return zn::test::WaitFor([&] { return SeatFile("MyZentrova2.html") == page; }, kLimit);
    }

    // The queries with which the seat opened the shop page, in order.
    std::vector<std::string> ShopQueries() const {
        std::vector<std::string> queries;
        for (const std::string& page : m_shop.ServedPages()) {
            if (page.starts_with(kShopPath)) {
                const auto query = page.find('?');
                queries.push_back(query == std::string::npos ? "" : page.substr(query + 1));
            }
        }
        return queries;
    }

    std::string ZoneMap() const {
        return zn::test::ReadFile(m_sandbox.RegistryFolder() / "HKEY_CURRENT_USER.reg")
            .value_or("");
    }

    zn::test::Sandbox m_sandbox;
    std::uint16_t m_feedbackPort = FreePort();
    // The notice page the console pushes after an order: no "成功", so it is stored, not shown.
    std::string m_notice = TextCodec::Utf8ToGbk(
        "<html><body>\n<b>服务台已收到信息，请您在座位上稍等片刻</b>\n"
        "<input id=\"ButtonMain\" type=\"button\" value=\"继续购买其他商品\">\n</body></html>");
    BackOfficeFront m_shop;
    std::unique_ptr<TestConsole> m_console;
};

TEST_F(ClientE2eTest, OpensTheShopWithTheGreetingAndRegistersTrustedSites) {
    WriteSettings("127.0.0.1", 0, "ShopDomain=shop.zentrova.test\r\n");
    m_console->LogIn();
    ClientProcess client(m_sandbox, {"-pcampaign=7", "-pignored"}, "");
    ASSERT_TRUE(client.Started());

    ASSERT_TRUE(m_shop.WaitForPage(kShopPath, kLimit)) << "the shop page was not opened";
    const std::string query = ShopQueries().front();
    EXPECT_TRUE(query.starts_with("&cid_murvel=12&seat=&ip=")) << query;
    EXPECT_TRUE(query.ends_with("&campaign=7&first=1")) << query;
    EXPECT_EQ(query.find("&ip=0&"), std::string::npos) << "a customer seat sends its address";

    ASSERT_TRUE(WaitForCaption(m_sandbox, kShopCaption, kLimit))
        << "the page's Init did not set the caption";
    // The shop's domain at set-up, and the pairs of the page's "TrustSites" at its first load.
    const std::string domains =
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
        "Settings\\ZoneMap\\Domains\\";
    ASSERT_TRUE(zn::test::WaitFor(
        [&] { return ZoneMap().find(domains + "zentrova-shop.local\\pay]") != std::string::npos; },
        kLimit))
        << ZoneMap();
    EXPECT_NE(ZoneMap().find(domains + "shop.zentrova.test]\n\"*\"=dword:00000002"),
              std::string::npos)
        << ZoneMap();
    EXPECT_NE(ZoneMap().find(domains + "zentrova-shop.local\\wb]"), std::string::npos);

    // A second start finds the caption and only brings the first client forward.
    ClientProcess second(m_sandbox, {}, "");
    EXPECT_EQ(second.WaitForExit(kLimit), 0);
    EXPECT_TRUE(client.Running());
    EXPECT_TRUE(DialogLines(m_sandbox).empty());
}

// The greeting's seat number leaves as code page 936, and the shop reads it back.
TEST_F(ClientE2eTest, ChineseSeatNumberReachesTheShopAsCodePage936) {
    m_sandbox.WriteFile("console/SeatList.xml",
                        "<SeatList><Seat IP=\"127.0.0.1\">三楼5</Seat></SeatList>");
    m_console->LogIn();
    ClientProcess client(m_sandbox, {}, "");
    ASSERT_TRUE(m_shop.WaitForPage(kShopPath, kLimit)) << "the shop page was not opened";
    EXPECT_TRUE(ShopQueries().front().starts_with("&cid_murvel=12&seat=%C8%FD%C2%A55&ip="))
        << ShopQueries().front();
    EXPECT_NE(m_shop.PageBody(kShopPath).find("座位 <b>三楼5</b>"), std::string::npos)
        << "the shop did not read the seat number back";
}

TEST_F(ClientE2eTest, BusyFeedbackPortEndsTheClientSilently) {
    CTcpSocket holder;
    const auto seatPort = CSocketAddress::FromDotted("0.0.0.0", m_feedbackPort);
    ASSERT_TRUE(holder.Create(*seatPort) && holder.Listen()) << "cannot hold the seat's port";
    m_console->LogIn();
    ClientProcess client(m_sandbox, {}, "");
    EXPECT_EQ(client.WaitForExit(kLimit), 0) << "the client did not end";
    EXPECT_TRUE(DialogLines(m_sandbox).empty()) << "the client said something";
    EXPECT_TRUE(ShopQueries().empty()) << "the client went on to the shop";
}

TEST_F(ClientE2eTest, OrderReachesTheCounterAndTheCompletedResultIsShown) {
    m_console->LogIn();
    ClientProcess client(m_sandbox, {}, "");
    ASSERT_TRUE(m_shop.WaitForPage(kShopPath, kLimit)) << "the shop page was not opened";
    m_shop.Queue(std::string(kShopPath), std::string(kClickFirstOrder));

    ASSERT_TRUE(m_console->WaitForTransactionPages(1, kLimit)) << "no order reached the counter";
    EXPECT_NE(m_console->TransactionPages().front().find("?transid="), std::string::npos);
    EXPECT_TRUE(SeatPageIs(AsStored(m_notice))) << "the notice page was not stored";

    // The cashier completes it: the result page, in GB2312, says "成功" and names itself.
    const std::string result = TextCodec::Utf8ToGb2312(
        "<html><head><meta charset=\"gb2312\"></head><body>\n<p>交易成功</p>\n"
        "<input type=\"hidden\" id=\"title\" value=\"交易结果\"><button id=\"Init\"></button>\n"
        "<script>document.getElementById('Init').click();</script>\n</body></html>");
    ASSERT_TRUE(console::SendPageToSeat(*CSocketAddress::FromDotted("127.0.0.1", 0), m_feedbackPort,
                                        AsBytes(result)));
    EXPECT_TRUE(SeatPageIs(AsStored(result))) << "MyZentrova2.html does not hold the result";
    EXPECT_TRUE(WaitForCaption(m_sandbox, "交易结果", kLimit)) << "the result page is not shown";
    EXPECT_TRUE(client.Running());
}

// The fault: a cancelled customer saw 交易成功. The reject page holds no "成功": it was stored,
// not shown, and the window was raised on the older result page.
TEST_F(ClientE2eTest, ARejectReplacesTheResultPageOnScreen) {
    m_console->LogIn();
    ClientProcess client(m_sandbox, {}, "");
    ASSERT_TRUE(WaitForCaption(m_sandbox, kShopCaption, kLimit)) << "the shop was not opened";
    const auto page = [](std::string_view title, std::string_view text) {
        return TextCodec::Utf8ToGb2312(
            "<html><head><meta charset=\"gb2312\"></head><body>\n<p>" + std::string(text) +
            "</p>\n<input type=\"hidden\" id=\"title\" value=\"" + std::string(title) +
            "\"><button id=\"Init\"></button>\n"
            "<script>document.getElementById('Init').click();</script>\n</body></html>");
    };
    const auto console = *CSocketAddress::FromDotted("127.0.0.1", 0);
    const std::string result = page("交易结果", "交易成功");
    ASSERT_TRUE(console::SendPageToSeat(console, m_feedbackPort, AsBytes(result)));
    ASSERT_TRUE(WaitForCaption(m_sandbox, "交易结果", kLimit)) << "the result page is not shown";

    const std::string reject = page("交易已取消", "收银台已取消您的订单");
    ASSERT_TRUE(console::SendPageToSeat(console, m_feedbackPort, AsBytes(reject)));
    EXPECT_TRUE(SeatPageIs(AsStored(reject))) << "MyZentrova2.html does not hold the reject page";
    EXPECT_TRUE(WaitForCaption(m_sandbox, "交易已取消", kLimit))
        << "the older result page stayed on screen";
    EXPECT_TRUE(client.Running());
}

TEST_F(ClientE2eTest, MessageReachesTheCounterAndIsConfirmed) {
    m_console->LogIn();
    ClientProcess client(m_sandbox, {}, "");
    ASSERT_TRUE(m_shop.WaitForPage(kShopPath, kLimit)) << "the shop page was not opened";
    m_shop.Queue(std::string(kShopPath),
                 "document.getElementById('textSubmit').value = '请送一包纸巾到我的座位';"
                 "document.getElementById('ButtonOnTextSubmit').click();");

    ASSERT_TRUE(zn::test::WaitFor([&] { return !m_console->Popups().empty(); }, kLimit))
        << "no message reached the counter";
    EXPECT_NE(m_console->Popups().front().find("的顾客消息：请送一包纸巾到我的座位"),
              std::string::npos)
        << m_console->Popups().front();
    EXPECT_TRUE(WaitForDialogLine(
        m_sandbox,
        {"您的信息已经发送至网吧收银台，请稍等片刻", "\"caption\":\"请送一包纸巾到我的座位\""},
        kLimit))
        << "the message-sent notice was not shown";
}

// Pages clear or refill fields right after raising a click; each click keeps its own values.
TEST_F(ClientE2eTest, EachClickCarriesTheValuesOfItsOwnDispatch) {
    m_console->LogIn();
    ClientProcess client(m_sandbox, {}, "");
    ASSERT_TRUE(m_shop.WaitForPage(kShopPath, kLimit)) << "the shop page was not opened";
    m_shop.Queue(std::string(kShopPath), R"(
        var field = function (id) { return document.getElementById(id); };
        var serial = field('serial'), submit = field('ButtonOnSubmit');
        field('PlatformId').value = 'murvel';
        serial.value = 'AAA111'; submit.click(); serial.value = '';
        serial.value = 'BBB222'; submit.click(); serial.value = 'CCC333'; submit.click();
        field('textSubmit').value = '请送一包纸巾'; field('ButtonOnTextSubmit').click();
        field('textSubmit').value = '';
        submit.addEventListener('click', function (event) { event.stopPropagation(); });
        serial.value = 'DDD444'; submit.click();)");

    ASSERT_TRUE(m_console->WaitForTransactionPages(4, kLimit)) << "orders were lost";
    std::vector<std::string> serials;
    for (const std::string& page : m_console->TransactionPages()) {
        serials.push_back(page.substr(page.find("?transid=") + 9));
    }
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(serials, (std::vector<std::string>{"AAA111", "BBB222", "CCC333", "DDD444"}));
    EXPECT_TRUE(zn::test::WaitFor(
        [&] {
            const auto popups = m_console->Popups();
            return std::any_of(popups.begin(), popups.end(), [](const std::string& popup) {
                return popup.find("的顾客消息：请送一包纸巾") != std::string::npos;
            });
        },
        kLimit))
        << "the message went without its text";
}

TEST_F(ClientE2eTest, NextOrderReconnectsToARestartedConsole) {
    m_console->LogIn();
    ClientProcess client(m_sandbox, {}, "");
    ASSERT_TRUE(m_shop.WaitForPage(kShopPath, kLimit)) << "the shop page was not opened";
    m_shop.Queue(std::string(kShopPath), std::string(kClickFirstOrder));
    ASSERT_TRUE(m_console->WaitForTransactionPages(1, kLimit)) << "the first order did not arrive";

    const std::uint16_t port = m_console->Port();
    m_console->Stop();
    ASSERT_TRUE(m_console->Start(port)) << "the console could not listen again";
    m_shop.Queue(std::string(kShopPath), std::string(kClickFirstOrder));

    ASSERT_TRUE(m_console->WaitForTransactionPages(2, kLimit))
        << "the order after the restart did not arrive";
    EXPECT_NE(m_console->TransactionPages()[0], m_console->TransactionPages()[1]);
    // The first send after the restart fails silently and reconnects: nothing is shown.
    EXPECT_EQ(CountDialogLines(m_sandbox, {"\"kind\":\"dialog\""}), 0u);
    EXPECT_EQ(ShopQueries().size(), 1u);
}

TEST_F(ClientE2eTest, CounterModeOrderEndsTheProgram) {
    WriteSettings("127.0.0.1", 1);
    m_console->LogIn();
    ClientProcess client(m_sandbox, {}, "");
    ASSERT_TRUE(m_shop.WaitForPage(kShopPath, kLimit)) << "the shop page was not opened";
    EXPECT_TRUE(ShopQueries().front().ends_with("&ip=0&first=1")) << ShopQueries().front();
    m_shop.Queue(std::string(kShopPath), std::string(kClickFirstOrder));

    ASSERT_TRUE(m_console->WaitForTransactionPages(1, kLimit)) << "no order reached the counter";
    EXPECT_EQ(m_console->CounterRaises(), 1) << "the order did not travel as a counter order";
    EXPECT_EQ(client.WaitForExit(kLimit), 0) << "the client did not end after the order";
}

TEST_F(ClientE2eTest, ErrorDialogRetryConnectsOnceTheConsoleIsLoggedIn) {
    // Logged out, the console closes each connection before greeting.
    ClientProcess client(m_sandbox, {}, "ok,ok:1");
    ASSERT_TRUE(WaitForDialogLine(
        m_sandbox, {std::string_view("\"caption\":\"与收银台通信错误！\""), "ok:1:127.0.0.1"},
        kLimit))
        << "no error dialog with the current address";
    EXPECT_GE(CountDialogLines(m_sandbox, {"可能是收银台未登陆", "和收银台连接发生错误"}), 1u);
    m_console->LogIn();

    ASSERT_TRUE(m_shop.WaitForPage(kShopPath, kLimit)) << "retrying never opened the shop";
    EXPECT_EQ(SeatFile("serverip.ini"), "[PROFILE_QZ]\r\nServerAddress=127.0.0.1\r\n")
        << "a retry must not write the address";
}

TEST_F(ClientE2eTest, ErrorDialogCorrectedAddressIsWrittenAndUsed) {
    ZN_RUN_INSIDE_NETWORK_NAMESPACE();
    // No address: the seat's discovery finds nothing inside the namespace.
    WriteSettings("");
    m_console->LogIn();
    ClientProcess client(m_sandbox, {}, "ok,ok:2:  127.0.0.1  ");

    ASSERT_TRUE(m_shop.WaitForPage(kShopPath, kLimit)) << "the corrected address was not used";
    EXPECT_EQ(CountDialogLines(m_sandbox, {"错误：无法连接网吧收银台！请联系网吧工作人员"}), 1u);
    EXPECT_EQ(CountDialogLines(m_sandbox, {kErrorDialog, "ok:2:  127.0.0.1  "}), 1u);
    const auto serverIp = SeatFile("serverip.ini").value_or("");
    EXPECT_NE(serverIp.find("ServerAddress=127.0.0.1\r\n"), std::string::npos) << serverIp;
}

TEST_F(ClientE2eTest, GivingUpAsksToCloseAndEndsOnYes) {
    ZN_RUN_INSIDE_NETWORK_NAMESPACE();
    WriteSettings("");
    ClientProcess client(m_sandbox, {}, "ok,ok:3,yes");
    EXPECT_EQ(client.WaitForExit(kLimit), 0) << "the client did not end";
    EXPECT_EQ(CountDialogLines(m_sandbox, {kCloseQuestion, "\"answer\":\"yes\""}), 1u);
    EXPECT_TRUE(ShopQueries().empty());
}

TEST_F(ClientE2eTest, CancellingThenAnsweringNoKeepsTheClientOpen) {
    ZN_RUN_INSIDE_NETWORK_NAMESPACE();
    WriteSettings("");
    ClientProcess client(m_sandbox, {}, "ok,cancel,no");
    ASSERT_TRUE(WaitForDialogLine(m_sandbox, {kCloseQuestion, "\"answer\":\"no\""}, kLimit))
        << "no close question";
    EXPECT_FALSE(client.WaitForExit(1s).has_value()) << "the client ended after No";
    EXPECT_EQ(CountDialogLines(m_sandbox, {kErrorDialog}), 1u) << "nothing more was asked";
}

}  // namespace
}  // namespace zn::e2e
