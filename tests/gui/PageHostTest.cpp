#include "gui/PageHost.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "LogCapture.h"
#include "QtWait.h"
#include "Sandbox.h"

namespace zn::gui {
namespace {

// A loopback port that nothing listens on.
int ClosedPort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

struct Click {
    std::string id;
    PageValues values;
};

// A web host on a loopback port of its own that serves one page at every path, or sends every
// request on to another address.
class LoopbackSite {
public:
    LoopbackSite() {
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~LoopbackSite() {
        m_server.stop();
        m_thread.join();
    }
    LoopbackSite(const LoopbackSite&) = delete;
    LoopbackSite& operator=(const LoopbackSite&) = delete;

    std::string Address(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    QUrl Url(const std::string& path) const { return QUrl(QString::fromStdString(Address(path))); }
    void Serve(std::string page) {
        m_server.Get(".*", [page = std::move(page)](const httplib::Request&, httplib::Response& r) {
            r.set_content(page, "text/html; charset=utf-8");
        });
    }
    void Redirect(std::string to) {
        m_server.Get(".*", [to = std::move(to)](const httplib::Request&, httplib::Response& r) {
            r.set_redirect(to);
        });
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};

// Pages live in the sandbox and load nothing else, so no test reaches the network.
class PageHostTest : public testing::Test {
protected:
    PageHostTest() {
        m_host.SetBoundIds({"Init", "ButtonOK", "ButtonLogin", "ButtonLate"});
        m_host.SetClickOrigins([this] { return PageOrigins{{}, {}, {m_sandbox.Path() / "own"}}; });
        QObject::connect(&m_host, &PageHost::Clicked,
                         [this](const std::string& id, const PageValues& values) {
                             m_clicks.push_back({id, values});
                         });
        QObject::connect(&m_host, &PageHost::LoadFinished,
                         [this](const QUrl& url, bool ok) { m_loads.emplace_back(url, ok); });
        m_host.resize(640, 480);
        m_host.show();
    }

    // Loads the page and waits for the top document to finish.
    bool Load(const std::string& fileName, std::string_view html) {
        return LoadFile(m_sandbox.WriteFile("own" / std::filesystem::path(fileName), html));
    }

    bool LoadFile(const std::filesystem::path& file) {
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(file.string()));
        const std::size_t before = m_loads.size();
        m_host.Navigate(url);
        return test::WaitWithEvents([&] {
            for (std::size_t i = before; i < m_loads.size(); ++i) {
                if (m_loads[i].first == url && m_loads[i].second) {
                    return true;
                }
            }
            return false;
        });
    }

    void RunScript(const QString& script) { m_host.View()->page()->runJavaScript(script); }

    bool WaitForClicks(std::size_t count) {
        return test::WaitWithEvents([&] { return m_clicks.size() >= count; });
    }

    test::Sandbox m_sandbox;
    PageHost m_host;
    std::vector<Click> m_clicks;
    std::vector<std::pair<QUrl, bool>> m_loads;
};

constexpr std::string_view kLoginPage = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>登录</title></head><body>
<input id="PlatformId" value="murvel">
<input id="username_input" value="张三">
<input id="personnel_input" value="">
<input id="salemac_input" value="">
<div id="title">not a form field</div>
<button id="ButtonOK" onclick="document.getElementById('personnel_input').value = '收银员'">
  <span id="inner">登录</span></button>
<button id="ButtonFree">free</button>
<input id="PlatformId" value="second of the same id">
</body></html>)";

TEST_F(PageHostTest, BoundClickCarriesTheValuesAfterThePagesOwnHandler) {
    ASSERT_TRUE(Load("login.html", kLoginPage)) << "the page did not load";
    RunScript(QStringLiteral("document.getElementById('ButtonOK').click();"));
    ASSERT_TRUE(WaitForClicks(1)) << "the click did not arrive";
    ASSERT_EQ(m_clicks[0].id, "ButtonOK");
    const PageValues& values = m_clicks[0].values;
    EXPECT_EQ(values.Get("PlatformId"), "murvel");
    EXPECT_EQ(values.Get("username_input"), "张三");
    EXPECT_EQ(values.Get("personnel_input"), "收银员");
    EXPECT_EQ(values.Get("title"), "");
    EXPECT_EQ(values.Get("CustomerId"), "");
}

// Pages often clear or refill a field right after raising a click; each click keeps its own values.
TEST_F(PageHostTest, EachClickCarriesTheValuesOfItsOwnDispatch) {
    m_host.SetBoundIds({"ButtonOnSubmit", "ButtonOnTextSubmit"});
    ASSERT_TRUE(Load("shop.html", R"(<html><body>
<input id="serial"><input id="PlatformId" value="murvel"><textarea id="textSubmit"></textarea>
<button id="ButtonOnSubmit">buy</button><button id="ButtonOnTextSubmit">send</button>
</body></html>)"));
    RunScript(QStringLiteral(R"(
        var serial = document.getElementById('serial');
        var submit = document.getElementById('ButtonOnSubmit');
        var text = document.getElementById('textSubmit');
        serial.value = 'AAA111'; submit.click(); serial.value = '';
        serial.value = 'BBB222'; submit.click(); serial.value = 'CCC333'; submit.click();
        text.value = '请送一包纸巾'; document.getElementById('ButtonOnTextSubmit').click();
        text.value = '';)"));
    ASSERT_TRUE(WaitForClicks(4)) << "clicks were lost";
    ASSERT_EQ(m_clicks.size(), 4u);
    EXPECT_EQ(m_clicks[0].values.Get("serial"), "AAA111");
    EXPECT_EQ(m_clicks[1].values.Get("serial"), "BBB222");
    EXPECT_EQ(m_clicks[2].values.Get("serial"), "CCC333");
    EXPECT_EQ(m_clicks[3].id, "ButtonOnTextSubmit");
    EXPECT_EQ(m_clicks[3].values.Get("textSubmit"), "请送一包纸巾");
}

// A back office that moves on to the next customer right after raising the completion: the body
// is the one of the click, not whatever the page shows by the time the program acts.
TEST_F(PageHostTest, BodyIdsCarryTheBodyAsItStoodAtTheClick) {
    m_host.SetBoundIds({"ButtonOnCommitSuccess", "ButtonOK"}, {"ButtonOnCommitSuccess"});
    ASSERT_TRUE(Load("done.html", R"(<html><body><p id="who">客户 A</p>
<button id="ButtonOnCommitSuccess" onclick="document.getElementById('who').textContent = '客户 A 完成'">
ok</button><button id="ButtonOK">x</button></body></html>)"));
    RunScript(QStringLiteral(R"(
        document.getElementById('ButtonOnCommitSuccess').click();
        document.body.innerHTML = '<p>客户 B</p>';
        location.href = 'about:blank';)"));
    ASSERT_TRUE(WaitForClicks(1)) << "the click was lost";
    ASSERT_TRUE(m_clicks[0].values.Body());
    const std::string& body = *m_clicks[0].values.Body();
    EXPECT_EQ(body.rfind("<body>", 0), 0u) << body;
    EXPECT_NE(body.find("客户 A 完成"), std::string::npos) << body;
    EXPECT_EQ(body.find("客户 B"), std::string::npos) << body;

    ASSERT_TRUE(
        Load("other.html", R"(<html><body><button id="ButtonOK">x</button></body></html>)"));
    RunScript(QStringLiteral("document.getElementById('ButtonOK').click();"));
    ASSERT_TRUE(WaitForClicks(2));
    EXPECT_FALSE(m_clicks[1].values.Body()) << "only the ids that need it carry the body";
}

// A body over the cap is not carried, and the program learns why, so that it can fail the send.
TEST_F(PageHostTest, ABodyOverTheCapIsMarkedSo) {
    m_host.SetBoundIds({"ButtonOnCommitSuccess"}, {"ButtonOnCommitSuccess"});
    ASSERT_TRUE(Load("large.html", R"(<html><body><p id="big"></p>
<button id="ButtonOnCommitSuccess">ok</button></body></html>)"));
    RunScript(QStringLiteral("document.getElementById('big').textContent = 'x'.repeat(%1);"
                             "document.getElementById('ButtonOnCommitSuccess').click();")
                  .arg(PageValues::kMaxBodyChars));
    ASSERT_TRUE(WaitForClicks(1)) << "the click was lost";
    EXPECT_FALSE(m_clicks[0].values.Body());
    EXPECT_TRUE(m_clicks[0].values.BodyTooLarge());
}

TEST_F(PageHostTest, TheCarriedBodyHoldsTheLiveValuesOfItsFields) {
    m_host.SetBoundIds({"ButtonOnCommitSuccess"}, {"ButtonOnCommitSuccess"});
    ASSERT_TRUE(Load("card.html", R"(<html><body>
<input id="card" value=""><input id="pin" type="password"><textarea id="note">old</textarea>
<select id="amount"><option selected>10</option><option>50</option></select>
<input id="agree" type="checkbox" checked><button id="ButtonOnCommitSuccess">ok</button>
</body></html>)"));
    RunScript(QStringLiteral(R"(
        document.getElementById('card').value = '6222 0001';
        document.getElementById('pin').value = '\"<1234>';
        document.getElementById('note').value = '卡密 <b>';
        document.getElementById('amount').selectedIndex = 1;
        document.getElementById('agree').checked = false;
        document.getElementById('ButtonOnCommitSuccess').click();)"));
    ASSERT_TRUE(WaitForClicks(1)) << "the click was lost";
    ASSERT_TRUE(m_clicks[0].values.Body());
    const std::string& body = *m_clicks[0].values.Body();
    EXPECT_NE(body.find(R"(id="card" value="6222 0001")"), std::string::npos) << body;
    EXPECT_NE(body.find(R"(type="password" value="&quot;<1234>")"), std::string::npos) << body;
    EXPECT_NE(body.find("卡密 &lt;b&gt;</textarea>"), std::string::npos) << body;
    EXPECT_NE(body.find("<option selected=\"\">50</option>"), std::string::npos) << body;
    EXPECT_EQ(body.find("<option selected=\"\">10</option>"), std::string::npos) << body;
    EXPECT_EQ(body.find("checked"), std::string::npos) << body;
}

TEST_F(PageHostTest, ClickWhosePropagationThePageStopsStillArrives) {
    ASSERT_TRUE(Load("stopping.html", R"(<html><body><input id="PlatformId">
<button id="ButtonOK" onclick="event.stopPropagation();
  document.getElementById('PlatformId').value = 'murvel';">ok</button>
</body></html>)"));
    RunScript(QStringLiteral("document.getElementById('ButtonOK').click();"));
    ASSERT_TRUE(WaitForClicks(1)) << "the stopped click was lost";
    EXPECT_EQ(m_clicks[0].id, "ButtonOK");
    EXPECT_EQ(m_clicks[0].values.Get("PlatformId"), "murvel");
}

TEST_F(PageHostTest, ClickInsideABoundElementCountsForIt) {
    ASSERT_TRUE(Load("login.html", kLoginPage));
    RunScript(QStringLiteral("document.getElementById('inner').click();"));
    ASSERT_TRUE(WaitForClicks(1)) << "the click did not arrive";
    EXPECT_EQ(m_clicks[0].id, "ButtonOK");
}

TEST_F(PageHostTest, UnboundClicksAreNotForwarded) {
    ASSERT_TRUE(Load("login.html", kLoginPage));
    // The unbound click comes first; had it been forwarded, it would arrive first.
    RunScript(
        QStringLiteral("document.getElementById('ButtonFree').click();"
                       "document.getElementById('ButtonOK').click();"));
    ASSERT_TRUE(WaitForClicks(1));
    EXPECT_EQ(m_clicks[0].id, "ButtonOK");
    EXPECT_EQ(m_clicks.size(), 1u);
}

TEST_F(PageHostTest, ClickRaisedDuringLoadIsNotLost) {
    ASSERT_TRUE(Load("init.html", R"(<html><body>
<input id="title" value="墨维网吧收银台">
<button id="Init">init</button>
<script>document.getElementById('Init').click();</script>
</body></html>)"));
    ASSERT_TRUE(WaitForClicks(1)) << "the click raised while loading was lost";
    EXPECT_EQ(m_clicks[0].id, "Init");
    EXPECT_EQ(m_clicks[0].values.Get("title"), "墨维网吧收银台");
}

TEST_F(PageHostTest, BindingChangesReachTheOpenPage) {
    m_host.SetBoundIds({"ButtonOK"});
    ASSERT_TRUE(
        Load("late.html", R"(<html><body><button id="ButtonLate">x</button></body></html>)"));
    m_host.SetBoundIds({"ButtonLate"});
    // The new table travels to the page asynchronously; keep clicking until it is there.
    ASSERT_TRUE(test::WaitWithEvents([&] {
        RunScript(QStringLiteral("document.getElementById('ButtonLate').click();"));
        return test::WaitWithEvents([&] { return !m_clicks.empty(); },
                                    std::chrono::milliseconds(200));
    })) << "the click on the newly bound element never arrived";
    EXPECT_EQ(m_clicks[0].id, "ButtonLate");
}

TEST_F(PageHostTest, WrittenValueIsReadBackExactly) {
    ASSERT_TRUE(Load("login.html", kLoginPage));
    const std::string awkward = R"(00AA'"</script>\n);alert(1)//中)";
    m_host.SetElementValue("salemac_input", awkward);
    m_host.SetElementValue("no_such_element", "ignored");
    RunScript(QStringLiteral("document.getElementById('ButtonOK').click();"));
    ASSERT_TRUE(WaitForClicks(1));
    EXPECT_EQ(m_clicks[0].values.Get("salemac_input"), awkward);
    EXPECT_EQ(m_clicks[0].values.Get("no_such_element"), "");
}

TEST_F(PageHostTest, OuterHtmlOfBodyAndDocument) {
    ASSERT_TRUE(
        Load("marker.html", R"(<html><body><p>MARKER-阿尔法</p><iframe></iframe></body></html>)"));
    std::optional<std::pair<MarkupStatus, std::string>> body;
    std::optional<std::pair<MarkupStatus, std::string>> document;
    m_host.ReadOuterHtml(MarkupPart::Body, [&](MarkupStatus status, std::string html) {
        body.emplace(status, std::move(html));
    });
    m_host.ReadOuterHtml(MarkupPart::Document, [&](MarkupStatus status, std::string html) {
        document.emplace(status, std::move(html));
    });
    ASSERT_TRUE(test::WaitWithEvents([&] { return body && document; }));
    EXPECT_EQ(body->first, MarkupStatus::Read);
    EXPECT_EQ(body->second.rfind("<body>", 0), 0u) << body->second;
    EXPECT_NE(body->second.find("MARKER-阿尔法"), std::string::npos);
    EXPECT_EQ(document->second.rfind("<html>", 0), 0u) << document->second;
    EXPECT_NE(document->second.find("<iframe>"), std::string::npos);
}

TEST_F(PageHostTest, OuterHtmlOfAMissingOrOversizedElementIsNotRead) {
    ASSERT_TRUE(Load("image.svg", R"(<svg xmlns="http://www.w3.org/2000/svg"></svg>)"));
    std::optional<MarkupStatus> missing;
    m_host.ReadOuterHtml(MarkupPart::Body,
                         [&](MarkupStatus status, const std::string&) { missing = status; });
    ASSERT_TRUE(test::WaitWithEvents([&] { return missing.has_value(); }));
    EXPECT_EQ(*missing, MarkupStatus::NoElement);

    ASSERT_TRUE(Load("huge.html", "<html><body></body></html>"));
    RunScript(QStringLiteral("document.body.textContent = 'x'.repeat(%1);")
                  .arg(PageHost::kMaxMarkupChars));
    std::optional<std::pair<MarkupStatus, std::string>> huge;
    m_host.ReadOuterHtml(MarkupPart::Body, [&](MarkupStatus status, std::string html) {
        huge.emplace(status, std::move(html));
    });
    ASSERT_TRUE(test::WaitWithEvents([&] { return huge.has_value(); }));
    EXPECT_EQ(huge->first, MarkupStatus::TooLarge);
    EXPECT_TRUE(huge->second.empty());
}

TEST_F(PageHostTest, ValuesOfAHostilePageAreBounded) {
    ASSERT_TRUE(Load("hostile.html", R"(<html><body>
<button id="ButtonOK">ok</button><input id="PlatformId" value="murvel">
<script>
  var big = document.createElement('textarea');
  big.id = 'big';
  big.value = '\u4e2d'.repeat(200000);
  document.body.appendChild(big);
  for (var i = 0; i < 6000; ++i) {
    var input = document.createElement('input');
    input.id = 'field' + i;
    input.value = 'v' + i;
    document.body.appendChild(input);
  }
</script></body></html>)"));
    RunScript(QStringLiteral("document.getElementById('ButtonOK').click();"));
    ASSERT_TRUE(WaitForClicks(1));
    const PageValues& values = m_clicks[0].values;
    EXPECT_EQ(values.Get("PlatformId"), "murvel");
    EXPECT_LE(values.Get("big").size(), PageValues::kMaxValueBytes);
    EXPECT_GT(values.Get("big").size(), PageValues::kMaxValueBytes - 3);
    EXPECT_LE(values.Count(), PageValues::kMaxIds);
    EXPECT_EQ(values.Get("field0"), "v0");
    EXPECT_EQ(values.Get("field5999"), "");
}

TEST_F(PageHostTest, PageScriptsTalkingToTheChannelThemselvesCannotHarmTheHost) {
    ASSERT_TRUE(Load("login.html", kLoginPage));
    QFile client(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    ASSERT_TRUE(client.open(QIODevice::ReadOnly));
    RunScript(QString::fromUtf8(client.readAll()) + QStringLiteral(R"(
        new QWebChannel(qt.webChannelTransport, function (channel) {
            var host = channel.objects.pageHost;
            host.deleteLater();
            host.click('ButtonFree', {}, null);
            host.click('ButtonOK', {PlatformId: 'x'.repeat(300000), Other: 12}, '<body>forged</body>');
        });)"));
    ASSERT_TRUE(WaitForClicks(1)) << "the direct call did not arrive";
    EXPECT_EQ(m_clicks[0].id, "ButtonOK");
    EXPECT_EQ(m_clicks[0].values.Get("PlatformId").size(), PageValues::kMaxValueBytes);
    EXPECT_EQ(m_clicks[0].values.Get("Other"), "");
    EXPECT_FALSE(m_clicks[0].values.Body()) << "not an id that carries the body";
    // The bridge is still there and the page's own clicks still arrive.
    RunScript(QStringLiteral("document.getElementById('ButtonOK').click();"));
    ASSERT_TRUE(WaitForClicks(2));
    EXPECT_EQ(m_clicks[1].values.Get("PlatformId"), "murvel");
}

// The attack: a page from anywhere (a foreign web site, a file outside the program's folder)
// clicked the bound elements and so acted for the program.
TEST_F(PageHostTest, ClicksFromPagesOutsideTheOriginsDoNothing) {
    zn::test::LogCapture log;
    const auto foreign = m_sandbox.WriteFile("elsewhere/page.html", R"(<html><body>
<button id="ButtonOK">ok</button><script>document.getElementById('ButtonOK').click();</script>
</body></html>)");
    ASSERT_TRUE(LoadFile(foreign));
    RunScript(QStringLiteral("document.getElementById('ButtonOK').click();"));
    // A click from an own page afterwards is the first to arrive.
    ASSERT_TRUE(Load("init.html", R"(<html><body><input id="title" value="own">
<button id="Init">i</button><script>document.getElementById('Init').click();</script>
</body></html>)"));
    ASSERT_TRUE(WaitForClicks(1));
    EXPECT_EQ(m_clicks[0].id, "Init");
    EXPECT_EQ(m_clicks.size(), 1u);
    EXPECT_TRUE(log.Contains({"click from", "elsewhere", "refused"}));
}

// The fault: an operator's host that redirects the login page (to https, a "www." host, another
// port) had every click refused, the console never logged in, and only the log said why.
TEST_F(PageHostTest, ClicksCountWhereARedirectLedAndARefusalIsToldOncePerOrigin) {
    zn::test::LogCapture log;
    const std::string clicking = R"(<html><body><input id="title" value="x">
<button id="Init">i</button><script>document.getElementById('Init').click();</script>
</body></html>)";
    LoopbackSite configured;
    LoopbackSite moved;
    LoopbackSite foreign;
    moved.Serve(clicking);
    foreign.Serve(clicking);
    configured.Redirect(moved.Address("/wb/loginsyt.jsp"));
    m_host.SetClickOrigins([&] {
        PageOrigins origins;
        origins.sites = {configured.Address("/wb/loginsyt.jsp")};
        origins.followRedirects = true;
        return origins;
    });
    std::vector<QUrl> told;
    QObject::connect(&m_host, &PageHost::ClickRefused,
                     [&](const QUrl& page) { told.push_back(page); });

    m_host.Navigate(configured.Url("/wb/loginsyt.jsp?salepsw=1"));
    ASSERT_TRUE(WaitForClicks(1)) << "the click where the redirect led was refused";

    for (const std::string path : {"/a", "/b"}) {
        m_host.Navigate(foreign.Url(path));
        ASSERT_TRUE(test::WaitWithEvents([&] {
            return log.Contains({path, "refused"});
        })) << "no redirect led to "
            << path;
    }
    test::WaitWithEvents([] { return false; }, std::chrono::milliseconds(300));
    ASSERT_EQ(told.size(), 1u) << "once for each origin";
    EXPECT_EQ(told[0], foreign.Url("/a"));
    EXPECT_EQ(m_clicks.size(), 1u);
}

// The attack: a pushed page, shown from a local file, read other local files of the seat.
TEST_F(PageHostTest, LocalPagesReadNoOtherLocalFiles) {
    m_sandbox.WriteFile("own/secret.txt", "SECRET");
    ASSERT_TRUE(Load("reader.html", R"(<html><body>
<input id="PlatformId" value="waiting"><button id="ButtonOK">ok</button>
<script>
  function report(text) {
    document.getElementById('PlatformId').value = text;
    document.getElementById('ButtonOK').click();
  }
  var request = new XMLHttpRequest();
  request.onload = function () { report(request.responseText); };
  request.onerror = function () { report('blocked'); };
  try { request.open('GET', 'secret.txt'); request.send(); } catch (e) { report('blocked'); }
</script></body></html>)"));
    ASSERT_TRUE(WaitForClicks(1)) << "the page never reported";
    EXPECT_EQ(m_clicks[0].values.Get("PlatformId"), "blocked");
}

// The attack: the same page sent what it read out over a WebSocket.
TEST_F(PageHostTest, LocalPagesOpenNoWebSockets) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const QString page = QStringLiteral(R"(<html><body><button id="ButtonOK">ok</button><script>
  var socket = new WebSocket('ws://127.0.0.1:%1/');
  socket.onerror = function () { document.getElementById('ButtonOK').click(); };
</script></body></html>)")
                             .arg(ntohs(address.sin_port));
    ASSERT_TRUE(Load("socket.html", page.toStdString()));

    ASSERT_TRUE(WaitForClicks(1)) << "the socket neither failed nor was let through";
    pollfd incoming{listener, POLLIN, 0};
    EXPECT_EQ(poll(&incoming, 1, 0), 0) << "the page reached the listener";
    close(listener);
}

// The seat asks whether it shows its stored result page before it shows a newer one there.
TEST_F(PageHostTest, ShowsThePageOnScreenAndTheOneOnItsWay) {
    const auto result = m_sandbox.WriteFile("own/MyZentrova2.html",
                                            "<html><body><a id=\"away\" href=\"shop.html\">shop</a>"
                                            "</body></html>");
    m_sandbox.WriteFile("own/shop.html", "<html><body>shop</body></html>");
    const std::string address = "file://" + result.string();
    ASSERT_TRUE(Load("shop.html", "<html><body>shop</body></html>"));
    EXPECT_FALSE(m_host.Shows(address));

    m_host.Navigate(std::string_view(address));
    EXPECT_TRUE(m_host.Shows(address)) << "a load that has not committed yet does not count";
    ASSERT_TRUE(test::WaitWithEvents([&] {
        return m_host.View()->url() == QUrl::fromLocalFile(QString::fromStdString(result.string()));
    }));
    EXPECT_TRUE(m_host.Shows(address));
    EXPECT_TRUE(m_host.Shows(QUrl::fromLocalFile(QString::fromStdString(result.string()))));

    // The customer follows a link of the page: the stored page is no longer on screen.
    RunScript(QStringLiteral("document.getElementById('away').click();"));
    ASSERT_TRUE(test::WaitWithEvents([&] { return !m_host.Shows(address); }))
        << "the page left by a link still counts as shown";

    // The program's own navigation elsewhere counts at once.
    ASSERT_TRUE(LoadFile(result));
    EXPECT_TRUE(m_host.Shows(address));
    m_host.Navigate(QUrl::fromLocalFile(
        QString::fromStdString((m_sandbox.Path() / "own" / "shop.html").string())));
    EXPECT_FALSE(m_host.Shows(address));
}

TEST_F(PageHostTest, FailedLoadIsReportedAndLogged) {
    zn::test::LogCapture log;
    const QUrl missing = QUrl::fromLocalFile(
        QString::fromStdString((m_sandbox.Path() / "no-such-page.html").string()));
    m_host.Navigate(missing);
    ASSERT_TRUE(test::WaitWithEvents([&] { return !m_loads.empty(); }));
    EXPECT_EQ(m_loads.back().first, missing);
    EXPECT_FALSE(m_loads.back().second);
    EXPECT_TRUE(log.Contains({"no-such-page.html", "did not load"}));

    // A host that refuses: the browser's error page that follows is no page that loaded.
    m_loads.clear();
    const QUrl refused(
        QStringLiteral("http://127.0.0.1:%1/login?salepsw=secret").arg(ClosedPort()));
    m_host.Navigate(refused);
    ASSERT_TRUE(test::WaitWithEvents([&] { return !m_loads.empty(); }));
    ASSERT_TRUE(Load("after.html", "<html><body>after</body></html>"));
    for (const auto& [url, ok] : m_loads) {
        EXPECT_TRUE(url != refused || !ok) << "the error page counted as loaded";
    }
    EXPECT_FALSE(log.Contains({"secret"})) << "a failed address was logged with its query";
}

// The programs speak Chinese, and so must the engine's own pages, whatever the session's locale
// (the tests run under C.UTF-8).
TEST_F(PageHostTest, TheEnginesOwnErrorPageIsInChinese) {
    m_host.Navigate(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(ClosedPort())));
    // Shared: an answer that comes after the test must not write into its frame.
    auto text = std::make_shared<QString>();
    const auto chinese = [&] {
        m_host.View()->page()->runJavaScript(
            QStringLiteral("document.body ? document.body.innerText : ''"),
            [text](const QVariant& value) { *text = value.toString(); });
        return std::any_of(text->begin(), text->end(),
                           [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
    };
    EXPECT_TRUE(test::WaitWithEvents(chinese)) << text->toStdString();
}

}  // namespace
}  // namespace zn::gui
