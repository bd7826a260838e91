#include <gtest/gtest.h>

#include <array>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include <httplib.h>

#include "HostOptions.h"
#include "PartnerSounds.h"
#include "Sandbox.h"
#include "WebHost.h"
#include "platform/NetworkInfo.h"
#include "platform/SoundPlayer.h"
#include "platform/TextCodec.h"

namespace zn::webhost {
namespace {

class WebHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        WebHostConfig config;
        config.pagesFolder = ZN_WEBHOST_PAGES_DIR;
        config.logRequests = false;
        m_host = std::make_unique<WebHost>(config);
        const auto port = m_host->Start(0);
        ASSERT_TRUE(port.has_value()) << "the host did not start on 127.0.0.1";
        m_client = std::make_unique<httplib::Client>("127.0.0.1", *port);
        m_client->set_connection_timeout(5);
        m_client->set_read_timeout(5);
    }

    // The body of a GET that must answer 200.
    std::string Page(const std::string& path) {
        const auto result = m_client->Get(path);
        EXPECT_TRUE(result) << "no answer for " << path;
        if (!result) {
            return {};
        }
        EXPECT_EQ(result->status, 200) << path;
        return result->body;
    }

    // The serial of a new order, or the empty text when the host refused it.
    std::string PostOrder(const httplib::Params& form) {
        const auto result = m_client->Post("/wb/order", form);
        if (!result || result->status != 200) {
            return {};
        }
        std::smatch match;
        return std::regex_search(result->body, match, std::regex(R"re("serial":"(\d+)")re"))
                   ? match[1].str()
                   : std::string();
    }

    // The status of a POST of a transaction id to the path.
    int Post(const std::string& path, const std::string& transId) {
        const auto result = m_client->Post(path, httplib::Params{{"transid", transId}});
        EXPECT_TRUE(result) << "no answer for " << path;
        return result ? result->status : 0;
    }

    std::unique_ptr<WebHost> m_host;
    std::unique_ptr<httplib::Client> m_client;
};

bool Has(const std::string& page, std::string_view text) {
    return page.find(text) != std::string::npos;
}

TEST_F(WebHostTest, LoginPageCarriesTheAgreedElements) {
    const std::string page = Page("/wb/loginsyt.jsp");
    for (const char* id : {"username_input", "password_input", "personnel_input", "salemac_input",
                           "ButtonOK", "Init"}) {
        EXPECT_TRUE(Has(page, std::string("id=\"") + id + "\"")) << id;
    }
    EXPECT_TRUE(Has(page, R"(id="PlatformId" value="murvel")"));
    EXPECT_TRUE(Has(page, R"(id="title" value="墨维网吧收银台")"));
    EXPECT_TRUE(Has(page, "('Init').click()"));
    EXPECT_FALSE(Has(page, "ButtonLogin"));
}

TEST_F(WebHostTest, LoginConfirmsOnlyTheDemoAccount) {
    const std::string wrongPassword =
        Page("/wb/loginsyt.jsp?wbar=2&saleusername=demo&saleempname=&salepsw=4321&salemac=");
    EXPECT_TRUE(Has(wrongPassword, "登录失败"));
    EXPECT_FALSE(Has(wrongPassword, "ButtonLogin"));
    EXPECT_TRUE(Has(wrongPassword, R"(href="/wb/loginsyt.jsp")"));
    EXPECT_TRUE(Has(Page("/wb/loginsyt.jsp?wbar=2&saleusername=demox&salepsw=1234"), "登录失败"));
    EXPECT_TRUE(Has(Page("/wb/loginsyt.jsp?wbar=2&saleusername=&salepsw="), "登录失败"));

    // "张三" as the console sends it: code page 936, percent-encoded.
    const std::string page = Page(
        "/wb/loginsyt.jsp?wbar=2&saleusername=demo&saleempname=%D5%C5%C8%FD&salepsw=1234"
        "&salemac=00163E5A0B1C");
    EXPECT_TRUE(Has(page, R"(id="ButtonLogin")"));
    EXPECT_TRUE(Has(page, R"(id="PlatformId" value="murvel")"));
    EXPECT_TRUE(Has(page, R"(id="CustomerId" value="12")"));
    EXPECT_TRUE(Has(page, R"(data-confirm-login="1")"));
    EXPECT_TRUE(Has(page, "张三"));
    EXPECT_TRUE(Has(page, "00163E5A0B1C"));
    EXPECT_TRUE(Has(page, R"(id="Init")"));
}

TEST_F(WebHostTest, AnOrderGetsASerialAndATransactionPageWithTheSeat) {
    const std::string serial = PostOrder({{"goods", "drink-cola"},
                                          {"qty", "2"},
                                          {"seat", "A08"},
                                          {"ip", "10.0.0.7"},
                                          {"cid", "12"}});
    ASSERT_FALSE(serial.empty()) << "the order was refused";
    const std::string next = PostOrder({{"goods", "card-jx-30"}, {"qty", "1"}});
    EXPECT_EQ(std::stoull(next), std::stoull(serial) + 1);

    const std::string page = Page("/jsp/empManage/noProcessInfo.jsp?transid=" + serial);
    EXPECT_TRUE(Has(page, R"(id="ClientIP" value="10.0.0.7")"));
    EXPECT_TRUE(Has(page, R"(id="TransId" value=")" + serial + "\""));
    EXPECT_TRUE(Has(page, R"(id="PlatformId" value="murvel")"));
    for (const char* id : {"ButtonOnCommitSuccess", "ButtonReSend", "ButtonCancelIt_Murvel",
                           "ButtonDisplay", "ButtonViewSeat", "ButtonMain", "Init"}) {
        EXPECT_TRUE(Has(page, std::string("id=\"") + id + "\"")) << id;
    }
    EXPECT_TRUE(Has(page, "交易成功"));
    EXPECT_TRUE(Has(page, "可乐 330ml"));
    EXPECT_TRUE(Has(page, "6.00元"));

    EXPECT_TRUE(Has(Page("/wb/orders.jsp"), "noProcessInfo.jsp?transid=" + serial));
}

TEST_F(WebHostTest, DonePagesRecordTheOutcomeAndKeepTheSeatForAResend) {
    const std::string serial =
        PostOrder({{"goods", "drink-tea"}, {"qty", "1"}, {"ip", "10.0.0.9"}});
    ASSERT_FALSE(serial.empty());
    const std::string failed = Page("/wb/send_trans_fail.jsp?transid=" + serial);
    EXPECT_TRUE(Has(failed, R"(id="ClientIP" value="10.0.0.9")"));
    EXPECT_TRUE(Has(failed, R"(id="ButtonReSend")"));
    EXPECT_EQ(m_host->Orders().Find(std::stoull(serial))->state, OrderState::DeliveryFailed);

    Page("/wb/send_trans_success.jsp?transid=" + serial);
    EXPECT_EQ(m_host->Orders().Find(std::stoull(serial))->state, OrderState::Delivered);

    const std::string refused = Page("/wb/send_trans_cancel.jsp?transid=" + serial + "&sent=1");
    EXPECT_TRUE(Has(refused, R"(id="refused" >订单状态为“已完成”，不能再改为“已取消”)"))
        << "a delivered order is final";
    EXPECT_EQ(m_host->Orders().Find(std::stoull(serial))->state, OrderState::Delivered);
}

TEST_F(WebHostTest, ACancelledOrderCannotBeCompleted) {
    const std::string serial =
        PostOrder({{"goods", "drink-tea"}, {"qty", "1"}, {"ip", "10.0.0.9"}});
    ASSERT_FALSE(serial.empty());
    Page("/wb/send_trans_cancel.jsp?transid=" + serial + "&sent=1");
    const std::string page = Page("/wb/send_trans_success.jsp?transid=" + serial);
    EXPECT_EQ(m_host->Orders().Find(std::stoull(serial))->state, OrderState::Cancelled);
    EXPECT_FALSE(Has(page, "交易结果已送达")) << "no success page for a cancelled order";
    EXPECT_TRUE(Has(page, R"(id="refused" >订单状态为“已取消”，不能再改为“已完成”)")) << page;
    Page("/wb/send_trans_fail.jsp?transid=" + serial);
    EXPECT_EQ(m_host->Orders().Find(std::stoull(serial))->state, OrderState::Cancelled);
}

// The attributes of the element with this id, as the page writes them.
std::string TagOf(const std::string& page, std::string_view id) {
    const std::size_t at = page.find("id=\"" + std::string(id) + "\"");
    if (at == std::string::npos) {
        return {};
    }
    return page.substr(at, page.find('>', at) - at);
}

TEST_F(WebHostTest, TheOrderPageOffersOnlyWhatTheOrdersStateAllows) {
    const std::string serial =
        PostOrder({{"goods", "drink-tea"}, {"qty", "1"}, {"ip", "10.0.0.9"}});
    ASSERT_FALSE(serial.empty());
    const std::string path = "/jsp/empManage/noProcessInfo.jsp?transid=" + serial;
    const auto offered = [&] {
        const std::string page = Page(path);
        std::string ids;
        for (const char* id : {"ButtonOnCommitSuccess", "ButtonCancelIt_Murvel", "ButtonReSend",
                               "ButtonDisplay", "ButtonViewSeat"}) {
            const std::string tag = TagOf(page, id);
            if (!tag.empty() && !Has(tag, "hidden")) {
                ids += std::string(ids.empty() ? "" : " ") + id;
            }
        }
        return ids;
    };
    EXPECT_EQ(offered(), "ButtonOnCommitSuccess ButtonCancelIt_Murvel ButtonViewSeat");
    Page("/wb/send_trans_fail.jsp?transid=" + serial);
    EXPECT_EQ(offered(),
              "ButtonOnCommitSuccess ButtonCancelIt_Murvel ButtonReSend ButtonDisplay "
              "ButtonViewSeat");
    Page("/wb/send_trans_success.jsp?transid=" + serial);
    EXPECT_EQ(offered(), "ButtonReSend ButtonDisplay ButtonViewSeat");

    const std::string other = PostOrder({{"goods", "drink-tea"}, {"qty", "1"}});
    Page("/wb/send_trans_cancel.jsp?transid=" + other + "&sent=1");
    EXPECT_EQ(offered(), "ButtonReSend ButtonDisplay ButtonViewSeat") << "the first is unchanged";
    const std::string cancelled = Page("/jsp/empManage/noProcessInfo.jsp?transid=" + other);
    EXPECT_TRUE(Has(TagOf(cancelled, "ButtonOnCommitSuccess"), "hidden"));
    EXPECT_TRUE(Has(TagOf(cancelled, "ButtonCancelIt_Murvel"), "hidden"));
}

// The fault: a locked console refused the cancellation, yet the page's own click handler had
// already cancelled the order. The order changes only when the console, having carried the reject
// out, opens the cancellation page.
TEST_F(WebHostTest, OnlyTheConsolesCancelPageCancelsAnOrder) {
    const std::string serial =
        PostOrder({{"goods", "drink-tea"}, {"qty", "1"}, {"seat", "A08"}, {"ip", "10.0.0.9"}});
    ASSERT_FALSE(serial.empty());
    const std::string open = Page("/jsp/empManage/noProcessInfo.jsp?transid=" + serial);
    EXPECT_FALSE(Has(open, "/wb/order/cancel")) << "the page cancels by itself at the click";
    EXPECT_EQ(Post("/wb/order/cancel", serial), 404);
    EXPECT_EQ(m_host->Orders().Find(std::stoull(serial))->state, OrderState::Open);

    const std::string told = Page("/wb/send_trans_cancel.jsp?transid=" + serial + "&sent=1");
    EXPECT_EQ(m_host->Orders().Find(std::stoull(serial))->state, OrderState::Cancelled);
    EXPECT_TRUE(Has(told, "交易已取消"));
    EXPECT_TRUE(Has(TagOf(told, "ButtonCancelIt_Murvel"), "hidden"));
    EXPECT_TRUE(Has(told, R"(<div class="notice good" >已通知座位 A08（10.0.0.9）)")) << told;
    EXPECT_TRUE(Has(told, R"(<div class="notice error" hidden>取消通知未能)"));
    EXPECT_TRUE(Has(told, R"(id="ClientIP" value="10.0.0.9")"));

    // The reject page did not reach the seat: the order is cancelled all the same, and the page
    // offers to tell the customer again.
    const std::string other = PostOrder({{"goods", "drink-tea"}, {"qty", "1"}, {"ip", "10.0.0.9"}});
    const std::string untold = Page("/wb/send_trans_cancel.jsp?transid=" + other + "&sent=0");
    EXPECT_EQ(m_host->Orders().Find(std::stoull(other))->state, OrderState::Cancelled);
    EXPECT_TRUE(Has(untold, R"(<div class="notice error" >取消通知未能发送到座位)")) << untold;
    EXPECT_TRUE(Has(untold, R"(<div class="notice good" hidden>)"));
    EXPECT_FALSE(Has(TagOf(untold, "ButtonCancelIt_Murvel"), "hidden"));
    Page("/wb/send_trans_cancel.jsp?transid=" + other + "&sent=1");
    EXPECT_EQ(m_host->Orders().Find(std::stoull(other))->state, OrderState::Cancelled);

    EXPECT_TRUE(Has(Page("/wb/send_trans_cancel.jsp?transid=1&sent=1"), "未找到订单"));
}

TEST_F(WebHostTest, ReSendsAreRecordedAndShown) {
    const std::string serial =
        PostOrder({{"goods", "drink-tea"}, {"qty", "1"}, {"ip", "10.0.0.9"}});
    ASSERT_FALSE(serial.empty());
    EXPECT_EQ(Post("/wb/order/resend", serial), 409) << "nothing was sent yet";
    const std::string failed = Page("/wb/send_trans_fail.jsp?transid=" + serial);
    EXPECT_TRUE(Has(failed, "/wb/script/backoffice.js")) << "the page records its re-sends";
    EXPECT_EQ(Post("/wb/order/resend", serial), 200);
    EXPECT_EQ(Post("/wb/order/resend", serial), 200);
    EXPECT_EQ(m_host->Orders().Find(std::stoull(serial))->resends, 2);
    EXPECT_TRUE(
        Has(Page("/jsp/empManage/noProcessInfo.jsp?transid=" + serial), "（已重新发送 2 次）"));
    EXPECT_TRUE(Has(Page("/wb/script/backoffice.js"), "/wb/order/resend"));
    EXPECT_EQ(Post("/wb/order/resend", "1"), 404);
}

TEST_F(WebHostTest, TheMainPagesSeatViewerHasTheNewestSeatAddress) {
    EXPECT_TRUE(Has(Page("/wb/orders.jsp"), R"(id="ClientIP" value="")"));
    PostOrder({{"goods", "drink-tea"}, {"qty", "1"}, {"ip", "10.0.0.9"}});
    PostOrder({{"goods", "drink-tea"}, {"qty", "1"}});
    const std::string page = Page("/wb/orders.jsp");
    EXPECT_TRUE(Has(page, R"(id="ClientIP" value="10.0.0.9")")) << "without it the viewer fails";
    EXPECT_TRUE(Has(page, R"(id="ButtonViewSeat")"));
}

TEST_F(WebHostTest, AnUnknownTransactionHasNoSeatAddress) {
    const std::string page = Page("/jsp/empManage/noProcessInfo.jsp?transid=1");
    EXPECT_TRUE(Has(page, R"(id="ClientIP" value="")"));
    EXPECT_TRUE(Has(page, R"(id="TransId" value="1")"));
    EXPECT_TRUE(Has(page, "未找到订单"));
    EXPECT_TRUE(Has(Page("/jsp/empManage/noProcessInfo.jsp"), R"(id="ClientIP" value="")"));
}

TEST_F(WebHostTest, ShopReflectsItsQuery) {
    const std::string page =
        Page("/wb/indexc.jsp?&cid_murvel=12&seat=A08&ip=10.0.0.7&extra=1&first=1");
    EXPECT_TRUE(Has(page, R"(data-seat="A08" data-ip="10.0.0.7" data-cid="12" data-first="1")"));
    EXPECT_TRUE(Has(page, "座位 <b>A08</b>"));
    EXPECT_TRUE(Has(page, R"(id="title" value="网吧购物充值客户端")"));
    EXPECT_TRUE(
        Has(page, R"(id="TrustSites" value="wb$zentrova-shop.local$pay$zentrova-shop.local")"));
    for (const char* id : {"serial", "PlatformId", "ButtonOnSubmit", "textSubmit",
                           "ButtonOnTextSubmit", "ButtonSetTrust", "ButtonOnRefresh", "Init"}) {
        EXPECT_TRUE(Has(page, std::string("id=\"") + id + "\"")) << id;
    }
    EXPECT_TRUE(Has(page, R"(data-goods="drink-cola")"));

    // The seat's greeting arrives as code page 936, like every value the programs send.
    EXPECT_TRUE(Has(Page("/wb/indexc.jsp?&cid_murvel=12&seat=%C8%FD%C2%A5%205&ip=10.0.0.7"),
                    "座位 <b>三楼 5</b>"));
    EXPECT_TRUE(Has(Page("/jsp/empManage/noProcessInfo.jsp?transid=%B5%A5%BA%C51"),
                    R"(id="TransId" value="单号1")"));

    const std::string later = Page("/wb/indexc.jsp?cid_murvel=12&seat=&ip=0");
    EXPECT_TRUE(Has(later, R"(data-first="0")"));
    EXPECT_TRUE(Has(later, "座位 <b>未知</b>"));
}

TEST_F(WebHostTest, HostileSeatTextIsEscapedAndBounded) {
    const std::string hostile = R"(<script>alert("x")</script>)";
    const std::string shop = Page(
        "/wb/indexc.jsp?seat=%3Cscript%3Ealert(%22x%22)%3C%2Fscript%3E"
        "&cid_murvel=%22%3E%3Cimg%3E&ip=10.0.0.7");
    EXPECT_FALSE(Has(shop, "<script>alert"));
    EXPECT_FALSE(Has(shop, "\"><img>"));
    EXPECT_TRUE(Has(shop, "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;"));

    const std::string serial = PostOrder({{"goods", "drink-cola"},
                                          {"qty", "1"},
                                          {"seat", hostile + std::string(5000, 'A')},
                                          {"ip", "10.0.0.7\"><script>"},
                                          {"cid", hostile}});
    ASSERT_FALSE(serial.empty());
    const auto order = m_host->Orders().Find(std::stoull(serial));
    ASSERT_TRUE(order.has_value());
    EXPECT_EQ(order->seat.size(), 64U);
    EXPECT_EQ(order->seatAddress, "") << "only a dotted address may become ClientIP";

    const std::string page = Page("/jsp/empManage/noProcessInfo.jsp?transid=" + serial);
    EXPECT_FALSE(Has(page, "<script>alert"));
    EXPECT_TRUE(Has(page, "&lt;script&gt;"));
    EXPECT_TRUE(Has(page, R"(id="ClientIP" value="")"));
    EXPECT_FALSE(Has(Page("/wb/orders.jsp"), "<script>alert"));

    const std::string transId = Page("/jsp/empManage/noProcessInfo.jsp?transid=%22%3E%3Cb%3E");
    EXPECT_TRUE(Has(transId, R"(id="TransId" value="&quot;&gt;&lt;b&gt;")"));
    const std::string login = Page("/wb/loginsyt.jsp?saleusername=%3Cb%3E&salepsw=x");
    EXPECT_TRUE(Has(login, "&lt;b&gt;"));
    EXPECT_FALSE(Has(login, "<b>"));
}

TEST_F(WebHostTest, RefusesBadOrders) {
    const auto status = [this](const httplib::Params& form) {
        const auto result = m_client->Post("/wb/order", form);
        return result ? result->status : -1;
    };
    EXPECT_EQ(status({{"goods", "no-such-goods"}, {"qty", "1"}}), 400);
    EXPECT_EQ(status({{"goods", "drink-cola"}, {"qty", "0"}}), 400);
    EXPECT_EQ(status({{"goods", "drink-cola"}, {"qty", "11"}}), 400);
    EXPECT_EQ(status({{"goods", "drink-cola"}, {"qty", "1x"}}), 400);
    EXPECT_EQ(status({{"goods", "drink-cola"}, {"qty", "1"}, {"seat", std::string(20000, 'A')}}),
              413);
    EXPECT_EQ(m_host->Orders().Size(), 0U);
}

TEST_F(WebHostTest, ServesTheNoticePageAndUnknownPathsAsNotFound) {
    const std::string notice = Page("/wb/notice.html");
    EXPECT_TRUE(Has(notice, R"(<input id="ButtonMain" name="ButtonMain" type="button")"));
    EXPECT_TRUE(notice.ends_with("</BODY></HTML>"));
    const auto missing = m_client->Get("/wb/../../etc/passwd");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
}

// The notice page frames it at the seat after each order; this test's client is a seat on the
// host's own machine, which orders with the machine's own address.
TEST_F(WebHostTest, TheOrderConfirmationIsTheAskingSeatsNewestOrderInCodePage936) {
    const auto own = NetworkInfo::OwnIpv4Address();
    if (!own) {
        GTEST_SKIP() << "this machine has no address of its own for its seat";
    }
    EXPECT_TRUE(Has(TextCodec::GbkToUtf8(Page("/wb/wbddqr.jsp")), "本座位还没有订单"));
    PostOrder({{"goods", "card-jx-30"}, {"qty", "1"}, {"ip", *own}});
    const std::string newest = PostOrder({{"goods", "drink-cola"}, {"qty", "2"}, {"ip", *own}});
    const std::string otherSeat =
        PostOrder({{"goods", "drink-tea"}, {"qty", "1"}, {"ip", "10.0.0.99"}});

    const auto result = m_client->Get("/wb/wbddqr.jsp");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=GBK");
    EXPECT_TRUE(Has(result->body, "\xbf\xc9\xc0\xd6 330ml \xa1\xc1 2")) << "可乐 330ml × 2 in GBK";
    const std::string page = TextCodec::GbkToUtf8(result->body);
    EXPECT_TRUE(Has(page, R"(<meta charset="gbk">)"));
    EXPECT_TRUE(Has(page, ">" + newest + "<"));
    EXPECT_TRUE(Has(page, "6.00元"));
    EXPECT_TRUE(std::regex_search(page, std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})")));
    EXPECT_FALSE(Has(page, otherSeat)) << "another seat's order";
    EXPECT_FALSE(Has(page, "征途风云")) << "an older order";
}

TEST(WebHostOptionsTest, ListensOnLoopbackUnlessTheLanIsAllowed) {
    const auto parse = [](std::initializer_list<std::string_view> arguments) {
        return ParseHostOptions(std::span(arguments.begin(), arguments.size()));
    };
    EXPECT_FALSE(parse({"--bind", "0.0.0.0"}).options.has_value());
    EXPECT_FALSE(parse({"--bind", "192.168.1.5"}).options.has_value());
    EXPECT_FALSE(parse({"--bind", "::"}).options.has_value());
    EXPECT_FALSE(parse({"--bind", "example.org"}).options.has_value());
    EXPECT_TRUE(parse({"--bind", "0.0.0.0", "--allow-lan"}).options.has_value());
    EXPECT_TRUE(parse({"--bind", "127.0.0.2"}).options.has_value());
    EXPECT_TRUE(parse({"--bind", "::1"}).options.has_value());

    const auto defaults = parse({});
    ASSERT_TRUE(defaults.options.has_value());
    EXPECT_EQ(defaults.options->port, 8280);
    EXPECT_EQ(defaults.options->host.bindAddress, "127.0.0.1");
    EXPECT_FALSE(defaults.options->host.allowLan);

    const auto custom = parse({"--port", "0", "--user", "cashier", "--password", "pw",
                               "--customer-id", "77", "--pages", "/tmp/p"});
    ASSERT_TRUE(custom.options.has_value());
    EXPECT_EQ(custom.options->port, 0);
    EXPECT_EQ(custom.options->host.user, "cashier");
    EXPECT_EQ(custom.options->host.customerId, "77");
    EXPECT_FALSE(parse({"--port", "65536"}).options.has_value());
    EXPECT_FALSE(parse({"--port"}).options.has_value());
    EXPECT_FALSE(parse({"--bogus", "1"}).options.has_value());

    WebHostConfig lan;
    lan.bindAddress = "0.0.0.0";
    lan.logRequests = false;
    WebHost host(lan);
    EXPECT_FALSE(host.Start(0).has_value()) << "a non-loopback address needs allowLan";
}

TEST_F(WebHostTest, ThePartnerSoundPageOffersSoundsItServesAsPlayableWavFiles) {
    const std::string page = Page("/9tqa/sounddownload.aspx");
    for (const char* id : {"SoundPath", "ButtonSetSound", "ButtonCancel"}) {
        EXPECT_TRUE(Has(page, std::string("id=\"") + id + "\"")) << id;
    }
    test::Sandbox sandbox;
    std::vector<std::string> served;
    for (const PartnerSound& sound : PartnerSounds()) {
        const std::string path = std::string(kPartnerSoundFolder) + std::string(sound.fileName);
        EXPECT_TRUE(Has(page, "value=\"" + path + "\"")) << path;
        const auto result = m_client->Get("/" + path);
        ASSERT_TRUE(result && result->status == 200) << path;
        EXPECT_EQ(result->get_header_value("Content-Length"), std::to_string(result->body.size()));
        const auto file = sandbox.WriteFile(sound.fileName, result->body);
        EXPECT_TRUE(IsPlayableSoundFile(file)) << path;
        served.push_back(result->body);
    }
    ASSERT_EQ(served.size(), 3u);
    EXPECT_NE(served[0], served[1]);
    EXPECT_NE(served[1], served[2]);
    const auto missing = m_client->Get("/9tqa/sounds/none.wav");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
}

TEST(WebHostStartTest, AMissingPagesFolderGivesAServerErrorNotACrash) {
    WebHostConfig config;
    config.pagesFolder = "/nonexistent/zentrova-pages";
    config.logRequests = false;
    WebHost host(config);
    const auto port = host.Start(0);
    ASSERT_TRUE(port.has_value());
    EXPECT_FALSE(host.Start(0).has_value()) << "a running host must not start twice";
    httplib::Client client("127.0.0.1", *port);
    const auto result = client.Get("/wb/loginsyt.jsp");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 500);
    host.Stop();
    host.Stop();
}

}  // namespace
}  // namespace zn::webhost
