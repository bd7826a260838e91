#include "client/FeedbackScreen.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "FakeClientWindow.h"
#include "PeerEnds.h"
#include "Sandbox.h"
#include "client/ClientTexts.h"
#include "client/FeedbackListener.h"
#include "net/SocketAddress.h"
#include "net/TcpSocket.h"

namespace zn::client {
namespace {

using test::FakeClientWindow;

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
