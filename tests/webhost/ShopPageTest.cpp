#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QtWait.h"
#include "WebHost.h"
#include "gui/PageHost.h"

namespace zn::webhost {
namespace {

// The shop as a seat shows it: the host on loopback, the page in the programs' browser with the
// seat's bound ids.
class ShopPageTest : public testing::Test {
protected:
    void SetUp() override {
        WebHostConfig config;
        config.pagesFolder = ZN_WEBHOST_PAGES_DIR;
        config.logRequests = false;
        m_host = std::make_unique<WebHost>(config);
        const auto port = m_host->Start(0);
        ASSERT_TRUE(port);
        m_port = *port;
        m_page.SetBoundIds({"ButtonOnSubmit", "ButtonOnTextSubmit"});
        m_page.SetClickOrigins([this] {
            return PageOrigins{{"http://127.0.0.1:" + std::to_string(m_port) + "/"}, {}, {}};
        });
        QObject::connect(&m_page, &gui::PageHost::Clicked,
                         [this](const std::string& id, const gui::PageValues& values) {
                             m_clicks.push_back({id, values});
                         });
        QObject::connect(&m_page, &gui::PageHost::LoadFinished,
                         [this](const QUrl&, bool ok) { m_loads += ok ? 1 : 0; });
        m_page.resize(1024, 600);
        m_page.show();
        ASSERT_TRUE(Open("/wb/indexc.jsp?cid_murvel=12&seat=A08&ip=10.0.0.7"));
    }

    bool Open(const std::string& path) {
        const int before = m_loads;
        m_page.Navigate("http://127.0.0.1:" + std::to_string(m_port) + path);
        return test::WaitWithEvents([&] { return m_loads > before; });
    }

    // The script's result as text, once it is there.
    std::string Evaluate(const QString& script) {
        std::optional<QString> result;
        m_page.View()->page()->runJavaScript(
            script, [&result](const QVariant& value) { result = value.toString(); });
        test::WaitWithEvents([&] { return result.has_value(); });
        return result.value_or(QString()).toStdString();
    }

    std::size_t ClicksOf(const std::string& id) const {
        std::size_t count = 0;
        for (const auto& click : m_clicks) {
            count += click.first == id ? 1 : 0;
        }
        return count;
    }

    std::unique_ptr<WebHost> m_host;
    int m_port = 0;
    int m_loads = 0;
    gui::PageHost m_page;
    std::vector<std::pair<std::string, gui::PageValues>> m_clicks;
};

TEST_F(ShopPageTest, ADoubleClickPlacesOneOrderConfirmedWhereTheCustomerClicked) {
    Evaluate(QStringLiteral("document.querySelector('button.order').click(); 1"));
    ASSERT_TRUE(test::WaitWithEvents([&] { return ClicksOf("ButtonOnSubmit") == 1; }));
    // The local host answers before the second click of a double click comes.
    Evaluate(
        QStringLiteral("document.querySelector('button.order').click();"
                       "document.querySelectorAll('button.order')[1].click(); 1"));
    QTest::qWait(300);
    EXPECT_EQ(m_host->Orders().Size(), 1u);
    EXPECT_EQ(ClicksOf("ButtonOnSubmit"), 1u);

    const std::string serial = m_clicks.front().second.Get("serial");
    const std::string nearButton = Evaluate(
        QStringLiteral("var s = document.querySelector('.goods').querySelector('.goods-status');"
                       "s ? s.textContent : ''"));
    EXPECT_NE(nearButton.find(serial), std::string::npos) << nearButton;
}

TEST_F(ShopPageTest, AnEmptyMessageNeverReachesTheCounter) {
    Evaluate(
        QStringLiteral("document.getElementById('textSubmit').value = '   ';"
                       "document.getElementById('sendMessage').click(); 1"));
    Evaluate(
        QStringLiteral("document.getElementById('textSubmit').value = '请送一包纸巾';"
                       "document.getElementById('sendMessage').click(); 1"));
    ASSERT_TRUE(test::WaitWithEvents([&] { return !m_clicks.empty(); }));
    QTest::qWait(200);
    ASSERT_EQ(m_clicks.size(), 1u) << "the empty message was sent";
    EXPECT_EQ(m_clicks[0].first, "ButtonOnTextSubmit");
    EXPECT_EQ(m_clicks[0].second.Get("textSubmit"), "请送一包纸巾");
    EXPECT_EQ(Evaluate(QStringLiteral("document.getElementById('textSubmit').value")), "");
}

TEST_F(ShopPageTest, TheReceiptHasTheBackOfficesOneDateFormat) {
    Evaluate(QStringLiteral("document.querySelector('button.order').click(); 1"));
    ASSERT_TRUE(test::WaitWithEvents([&] { return ClicksOf("ButtonOnSubmit") == 1; }));
    const std::string serial = m_clicks.front().second.Get("serial");
    ASSERT_TRUE(Open("/jsp/empManage/noProcessInfo.jsp?transid=" + serial));
    const std::string listed =
        Evaluate(QStringLiteral("document.querySelectorAll('dl.facts dd')[7].textContent"));
    const std::string receipt =
        Evaluate(QStringLiteral("document.getElementById('ButtonOnCommitSuccess').click();"
                                "document.getElementById('r-time').textContent"));
    const QRegularExpression format(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$"));
    EXPECT_TRUE(format.match(QString::fromStdString(listed)).hasMatch()) << listed;
    EXPECT_TRUE(format.match(QString::fromStdString(receipt)).hasMatch()) << receipt;
}

// The page's hidden buttons were drawn all the same (a button's own display won over "hidden"):
// an open order offered 重新发送结果 and a told cancellation 重新通知顾客.
TEST_F(ShopPageTest, TheBackOfficeShowsOnlyTheActionsTheOrdersStateAllows) {
    Evaluate(QStringLiteral("document.querySelector('button.order').click(); 1"));
    ASSERT_TRUE(test::WaitWithEvents([&] { return ClicksOf("ButtonOnSubmit") == 1; }));
    const std::string serial = m_clicks.front().second.Get("serial");
    const QString shown = QStringLiteral(
        "Array.from(document.querySelectorAll('button[id^=Button]'))"
        ".filter(function (b) { return getComputedStyle(b).display !== 'none'; })"
        ".map(function (b) { return b.id; }).join(' ')");
    ASSERT_TRUE(Open("/jsp/empManage/noProcessInfo.jsp?transid=" + serial));
    EXPECT_EQ(Evaluate(shown), "ButtonOnCommitSuccess ButtonCancelIt_Murvel ButtonViewSeat");
    ASSERT_TRUE(Open("/wb/send_trans_cancel.jsp?transid=" + serial + "&sent=1"));
    EXPECT_EQ(Evaluate(shown), "");
}

}  // namespace
}  // namespace zn::webhost
