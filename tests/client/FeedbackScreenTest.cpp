#include "client/FeedbackScreen.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "FakeClientWindow.h"
#include "PeerEnds.h"
#include "Sandbox.h"
#include "client/ClientTexts.h"
#include "client/FeedbackListener.h"
#include "client/FeedbackPage.h"
#include "net/Frame.h"
#include "net/SocketAddress.h"
#include "net/TcpSocket.h"
#include "platform/TextCodec.h"

namespace zn::client {
namespace {

using test::FakeClientWindow;

std::vector<std::byte> Page(std::string_view utf8) {
    const std::string gbk = TextCodec::Utf8ToGbk(utf8) + '\0';
    const auto* data = reinterpret_cast<const std::byte*>(gbk.data());
    return std::vector<std::byte>(data, data + gbk.size());
}

// The seat as the customer sees it: the listener, this screen and a window whose browser shows
// at once what it is sent to, recording the stored page's bytes at each navigation.
class SeatScreen {
public:
    SeatScreen() {
        m_console.Set(0x7F000001);  // 127.0.0.1, where the test connects from
        m_window.onNavigate = [this](std::string_view) {
            shownPages.push_back(zn::test::ReadFile(StoredFile()).value_or("(none)"));
        };
    }

    bool Start() { return m_listener.Create(0) && m_listener.Start(); }

    // Pushes the page on a connection of its own and runs what it posts; the raise comes last.
    bool Push(std::string_view utf8) {
        CTcpSocket console;
        const auto seat = *CSocketAddress::FromDotted("127.0.0.1", m_listener.Port());
        const int raised = m_window.raised;
        if (!zn::test::WaitFor([&] { return console.Create(0) && console.Connect(&seat); }) ||
            !SendFrame(console, Page(utf8))) {
            return false;
        }
        return zn::test::WaitFor([&] {
            m_window.RunPending();
            return m_window.raised > raised;
        });
    }

    std::filesystem::path StoredFile() const {
        return m_sandbox.Path() / std::string(kFeedbackPageName);
    }
    std::string StoredUrl() const { return FileUrl(StoredFile()); }
    FakeClientWindow& Window() { return m_window; }

    std::vector<std::string> shownPages;

private:
    zn::test::Sandbox m_sandbox;
    FakeClientWindow m_window;
    FeedbackScreen m_screen{m_window};
    CurrentConsole m_console;
    FeedbackListener m_listener{m_screen, m_console, m_sandbox.Path()};
};

std::string AsStored(std::string_view utf8) {
    return TextCodec::Utf8ToGbk(utf8) + '\0';
}

// The fault: a cancelled customer saw 交易成功. The rejection page holds no "成功", so it was
// stored and not shown, and the window was raised on the older success page.
TEST(FeedbackScreenTest, ARejectionReplacesTheShownResultPage) {
    SeatScreen seat;
    ASSERT_TRUE(seat.Start());
    ASSERT_TRUE(seat.Push("<p>交易成功</p>"));
    ASSERT_EQ(seat.Window().showing, seat.StoredUrl());

    ASSERT_TRUE(seat.Push("<p>收银台已取消您的订单</p>"));
    EXPECT_EQ(seat.Window().navigations.size(), 2u);
    ASSERT_FALSE(seat.shownPages.empty());
    EXPECT_EQ(seat.shownPages.back(), AsStored("<p>收银台已取消您的订单</p>"))
        << "an older result page stays on screen";
    EXPECT_EQ(seat.Window().raised, 2);
}

// The notice page after an order holds no "成功" either; the customer goes on shopping.
TEST(FeedbackScreenTest, ANoticeLeavesTheShopOnScreen) {
    SeatScreen seat;
    ASSERT_TRUE(seat.Start());
    const std::string shop = seat.Window().showing;
    ASSERT_TRUE(seat.Push("<p>服务台已收到信息，请您在座位上稍等片刻</p>"));

    EXPECT_TRUE(seat.Window().navigations.empty());
    EXPECT_EQ(seat.Window().showing, shop);
    EXPECT_EQ(seat.Window().raised, 1);
    EXPECT_EQ(zn::test::ReadFile(seat.StoredFile()),
              AsStored("<p>服务台已收到信息，请您在座位上稍等片刻</p>"));
}

TEST(FeedbackScreenTest, WhileABoxIsShownItsRepeatsAreDroppedAndOneOtherWaits) {
    FakeClientWindow window;
    FeedbackScreen screen(window);
    window.whileShown = [&] {
        window.whileShown = nullptr;
        for (const char* text : {"first", "second", "third", "first", "second"}) {
            screen.PostMessage(text, "caption", MessageIcon::Error);
        }
    };
    screen.PostMessage("first", "caption", MessageIcon::Error);
    window.RunPending();
    window.RunPending();

    EXPECT_EQ(window.messages, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(window.maxOpenBoxes, 1);
    screen.PostMessage("third", "caption", MessageIcon::Error);
    window.RunPending();
    EXPECT_EQ(window.messages.back(), "third") << "a box may come again once the last one is gone";
}

// The attack: connections that each announce a 2 GiB page and close made one error box each,
// every one nested in the modal loop of the one before, until the seat's stack ran out.
TEST(FeedbackScreenTest, ManyRefusedPagesOpenOneBox) {
    zn::test::Sandbox sandbox;
    FakeClientWindow window;
    FeedbackScreen screen(window);
    CurrentConsole console;
    console.Set(0x7F000001);  // 127.0.0.1, where the test connects from
    FeedbackListener listener(screen, console, sandbox.Path());
    ASSERT_TRUE(listener.Create(0) && listener.Start());
    const auto seat = *CSocketAddress::FromDotted("127.0.0.1", listener.Port());

    constexpr int kConnections = 40;
    for (int i = 0; i < kConnections; ++i) {
        CTcpSocket connection;
        ASSERT_TRUE(
            zn::test::WaitFor([&] { return connection.Create(0) && connection.Connect(&seat); }));
        const unsigned char twoGiB[4] = {0x00, 0x00, 0x00, 0x80};
        ASSERT_EQ(connection.SendAll(twoGiB, 0, 4), 4);
        ASSERT_TRUE(test::PeerEnds(connection)) << "the seat kept the connection";
    }
    window.RunPending();

    EXPECT_EQ(window.maxOpenBoxes, 1);
    EXPECT_EQ(window.messages, std::vector<std::string>{ClientTexts::PageNotReceived(EMSGSIZE)});
}

}  // namespace
}  // namespace zn::client
