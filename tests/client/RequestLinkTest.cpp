#include "client/RequestLink.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>

#include "FakeClientUi.h"
#include "FakeConsole.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "client/ClientSettings.h"
#include "client/ClientTexts.h"
#include "net/Frame.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"

namespace zn::client {
namespace {

using test::FakeClientUi;
using test::FakeConsole;
using test::ReceivedRequest;

constexpr std::string_view kGreeting = "&cid_murvel=12&seat=A1";
constexpr std::string_view kShop = "http://shop.test/wb/indexc.jsp";

// Reads until the seat goes, sending nothing.
void StaySilent(FakeConsole&, CTcpSocket& connection, int) {
    char ignored = 0;
    while (connection.ReceiveAll(&ignored, 0, 1) == 1) {
    }
}

class RequestLinkTest : public ::testing::Test {
protected:
    // Every test has a console listening on loopback at ServerAddress: nothing here broadcasts.
    void UseConsole(const FakeConsole& console, std::string_view moreSettings = "") {
        m_sandbox.WriteFile("gameclient.dat",
                            "[PROFILE_QZ]\r\nRemotePort=" + std::to_string(console.Port()) +
                                "\r\nMainPage=" + std::string(kShop) + "\r\n" +
                                std::string(moreSettings));
        m_sandbox.WriteFile("serverip.ini", "[PROFILE_QZ]\r\nServerAddress=127.0.0.1\r\n");
    }

    RequestLink MakeLink(std::string launchParameter = "",
                         std::optional<std::string> ownAddress = "192.0.2.7",
                         std::chrono::milliseconds greetingLimit = std::chrono::seconds(10)) {
        RequestLinkOptions options;
        options.greetingLimit = greetingLimit;
        options.ownAddress = [ownAddress] { return ownAddress; };
        options.finder.discover = [](std::uint16_t, std::chrono::milliseconds) {
            ADD_FAILURE() << "the seat tried to broadcast outside a network namespace";
            return std::optional<std::uint32_t>();
        };
        return RequestLink(m_ui, m_settings, m_console, std::move(launchParameter), options);
    }

    static std::vector<std::string> Repeated(std::string_view text, std::size_t count) {
        return std::vector<std::string>(count, std::string(text));
    }

    zn::test::Sandbox m_sandbox;
    Registry m_registry{m_sandbox.RegistryFolder()};
    ClientSettings m_settings{m_registry, m_sandbox.Path()};
    FakeClientUi m_ui;
    CurrentConsole m_console;
};

TEST_F(RequestLinkTest, OpensShopWithGreetingOwnAddressAndLaunchParameter) {
    FakeConsole console(FakeConsole::GreetAndServeOne(std::string(kGreeting)));
    UseConsole(console);
    auto link = MakeLink("ad=3");

    EXPECT_TRUE(link.ConnectAndOpen());

    EXPECT_EQ(m_ui.Navigations(),
              std::vector<std::string>{std::string(kShop) +
                                       "?&cid_murvel=12&seat=A1&ip=192.0.2.7&ad=3&first=1"});
    EXPECT_EQ(m_console.Get(), 0x7F000001u) << "the feedback listener must know its console";
    EXPECT_TRUE(m_ui.Messages().empty());
    EXPECT_EQ(m_ui.Progress(),
              (std::vector<std::string>{"open:" + std::string(ClientTexts::kConnecting), "close"}));
}

TEST_F(RequestLinkTest, EmptyGreetingAtTheCounterGivesIpZero) {
    FakeConsole console(FakeConsole::GreetAndServeOne(""));
    UseConsole(console, "CounterMode=1\r\n");
    auto link = MakeLink("", std::nullopt);

    EXPECT_TRUE(link.ConnectAndOpen());

    EXPECT_EQ(m_ui.Navigations(), std::vector<std::string>{std::string(kShop) + "?&ip=0&first=1"});
}

TEST_F(RequestLinkTest, GbkGreetingReachesTheShopAddressAsItsGbkBytes) {
    FakeConsole console(
        FakeConsole::GreetAndServeOne(TextCodec::Utf8ToGbk("&cid_murvel=7&seat=前台")));
    UseConsole(console);
    auto link = MakeLink();

    EXPECT_TRUE(link.ConnectAndOpen());

    ASSERT_EQ(m_ui.Navigations().size(), 1u);
    EXPECT_NE(m_ui.Navigations()[0].find("?&cid_murvel=7&seat=%C7%B0%CC%A8&ip="), std::string::npos)
        << m_ui.Navigations()[0];
}

TEST_F(RequestLinkTest, LoggedOutConsoleGivesGreetingMessageAndGivingUpClosesTheWindow) {
    FakeConsole console(FakeConsole::CloseAtOnce());
    UseConsole(console);
    m_ui.AnswerErrorDialog({true, 1, ""});
    auto link = MakeLink();

    EXPECT_FALSE(link.ConnectAndOpen());

    EXPECT_EQ(m_ui.MessageTexts(), Repeated(ClientTexts::kGreetingFailed, 2));
    EXPECT_EQ(m_ui.Messages()[0].caption, ClientTexts::kConnectionErrorCaption);
    EXPECT_EQ(m_ui.Messages()[0].icon, MessageIcon::Error);
    EXPECT_EQ(m_ui.DialogAddresses(), Repeated("127.0.0.1", 2));
    EXPECT_EQ(m_ui.CloseRequests(), 1);
    EXPECT_TRUE(m_ui.Navigations().empty());
    EXPECT_EQ(console.Connections(), 2);
}

TEST_F(RequestLinkTest, GreetingThatNeverComesFailsAtTheBound) {
    FakeConsole console(StaySilent);
    UseConsole(console);
    auto link = MakeLink("", "192.0.2.7", std::chrono::milliseconds(300));

    EXPECT_FALSE(link.ConnectAndOpen());

    EXPECT_EQ(m_ui.MessageTexts(), Repeated(ClientTexts::kGreetingFailed, 1));
}

TEST_F(RequestLinkTest, GreetingOverTheCapFails) {
    FakeConsole console([](FakeConsole& self, CTcpSocket& connection, int index) {
        const std::uint32_t length = kRequestFrameCap + 1;  // little-endian on this machine
        connection.SendAll(&length, 0, sizeof length);
        StaySilent(self, connection, index);
    });
    UseConsole(console);
    auto link = MakeLink();

    EXPECT_FALSE(link.ConnectAndOpen());

    EXPECT_EQ(m_ui.MessageTexts(), Repeated(ClientTexts::kGreetingFailed, 1));
}

TEST_F(RequestLinkTest, LoopbackOrMissingOwnAddressGivesOwnAddressMessage) {
    FakeConsole console(FakeConsole::GreetAndServeOne(std::string(kGreeting)));
    UseConsole(console);
    m_ui.AnswerErrorDialog({true, 1, ""});
    auto loopback = MakeLink("", "127.0.0.1");
    EXPECT_FALSE(loopback.ConnectAndOpen());
    auto missing = MakeLink("", std::nullopt);
    EXPECT_FALSE(missing.ConnectAndOpen());

    EXPECT_EQ(m_ui.MessageTexts(), Repeated(ClientTexts::kNoOwnAddress, 3));
    EXPECT_TRUE(m_ui.Navigations().empty());
}

TEST_F(RequestLinkTest, CorrectedAddressIsWrittenAndUsedForTheNextAttempt) {
    FakeConsole console([](FakeConsole& self, CTcpSocket& connection, int index) {
        if (index == 0) {
            connection.Close();
        } else {
            FakeConsole::GreetAndServeOne(std::string(kGreeting))(self, connection, index);
        }
    });
    UseConsole(console);
    m_ui.AnswerErrorDialog({true, 2, "localhost"});
    auto link = MakeLink();

    EXPECT_TRUE(link.ConnectAndOpen());

    EXPECT_EQ(m_settings.ServerAddress(), "localhost");
    EXPECT_EQ(m_ui.Navigations().size(), 1u);
}

TEST_F(RequestLinkTest, SecondOrderReconnectsSilently) {
    FakeConsole console(FakeConsole::GreetAndServeOne(std::string(kGreeting)));
    UseConsole(console);
    auto link = MakeLink();
    ASSERT_TRUE(link.ConnectAndOpen());

    link.SendOrder("100", "murvel");
    ASSERT_TRUE(console.WaitForRequests(1)) << "the first order did not arrive";
    link.SendOrder("101", "other");
    ASSERT_TRUE(console.WaitForRequests(2)) << "the second order did not arrive";

    EXPECT_EQ(console.Requests(), (std::vector<ReceivedRequest>{{0, std::string("O100\0", 5)},
                                                                {1, std::string("101\0", 4)}}));
    EXPECT_TRUE(m_ui.Messages().empty());
    EXPECT_EQ(m_ui.Navigations().size(), 1u) << "a reconnect must not open the shop again";
    EXPECT_EQ(m_ui.Progress().back(), "close");
    EXPECT_EQ(m_ui.Progress()[2], "open:" + std::string(ClientTexts::kReconnecting));
}

TEST_F(RequestLinkTest, LaterSendFailuresAskAndGivingUpAbandonsTheOrder) {
    FakeConsole console([](FakeConsole& self, CTcpSocket& connection, int index) {
        if (index == 0) {
            FakeConsole::GreetAndServeOne(std::string(kGreeting))(self, connection, index);
        } else {
            connection.Close();
        }
    });
    UseConsole(console);
    m_ui.AnswerErrorDialog({true, 2, "localhost"});
    auto link = MakeLink();
    ASSERT_TRUE(link.ConnectAndOpen());
    link.SendOrder("100", "murvel");
    ASSERT_TRUE(console.WaitForRequests(1)) << "the first order did not arrive";

    link.SendOrder("101", "murvel");

    EXPECT_EQ(m_ui.MessageTexts(), Repeated(ClientTexts::kSendFailed, 2));
    EXPECT_EQ(m_ui.DialogAddresses(), (std::vector<std::string>{"127.0.0.1", "localhost"}));
    EXPECT_EQ(m_settings.ServerAddress(), "localhost");
    EXPECT_EQ(console.Requests().size(), 1u);
    EXPECT_EQ(console.Connections(), 3) << "one silent reconnect, one after the dialog";
    EXPECT_EQ(m_ui.CloseRequests(), 0) << "giving up a send keeps the client open";
}

TEST_F(RequestLinkTest, CounterOrderIsMarkedAndEndsTheProgram) {
    FakeConsole console(FakeConsole::GreetAndServeOne(std::string(kGreeting)));
    UseConsole(console, "CounterMode=1\r\n");
    auto link = MakeLink();
    ASSERT_TRUE(link.ConnectAndOpen());

    link.SendOrder("55", "murvel");

    ASSERT_TRUE(console.WaitForRequests(1)) << "the order did not arrive";
    EXPECT_EQ(console.Requests()[0].body, std::string("ZO55\0", 5));
    EXPECT_EQ(m_ui.ExitCodes(), std::vector<int>{0});
}

TEST_F(RequestLinkTest, MessageTravelsAsUtf16AndIsConfirmedWithItsTextAsCaption) {
    FakeConsole console(FakeConsole::GreetAndServeOne(std::string(kGreeting)));
    UseConsole(console);
    auto link = MakeLink();
    ASSERT_TRUE(link.ConnectAndOpen());

    link.SendMessage("hi");

    ASSERT_TRUE(console.WaitForRequests(1)) << "the message did not arrive";
    EXPECT_EQ(console.Requests()[0].body, std::string("Xh\0i\0\0\0", 7));
    ASSERT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_EQ(m_ui.Messages()[0].text, ClientTexts::kMessageSent);
    EXPECT_EQ(m_ui.Messages()[0].caption, "hi");
    EXPECT_EQ(m_ui.Messages()[0].icon, MessageIcon::Information);
    EXPECT_TRUE(m_ui.ExitCodes().empty());
}

// A console that has half-closed the connection still lets the kernel take a frame; that order
// would be lost. It must travel on a new connection instead.
TEST_F(RequestLinkTest, OrderNeverGoesOnAConnectionTheConsoleHasClosed) {
    std::atomic<bool> halfClosed{false};
    std::atomic<bool> checkOldConnection{false};
    std::atomic<int> bytesOnOldConnection{-1};
    FakeConsole console([&](FakeConsole& self, CTcpSocket& connection, int index) {
        if (index > 0) {
            FakeConsole::GreetAndServeOne(std::string(kGreeting))(self, connection, index);
            return;
        }
        test::SendGreeting(connection, kGreeting);
        halfClosed = test::HalfClose(connection);
        // Still reading: whatever the seat sent here is waiting in the receive queue.
        zn::test::WaitFor([&] { return checkOldConnection.load(); });
        char waiting[64];
        const auto count = recv(connection.Handle(), waiting, sizeof waiting, MSG_DONTWAIT);
        bytesOnOldConnection = count < 0 ? 0 : static_cast<int>(count);
    });
    UseConsole(console);
    auto link = MakeLink();
    ASSERT_TRUE(link.ConnectAndOpen());
    ASSERT_TRUE(zn::test::WaitFor([&] { return halfClosed.load(); }))
        << "the fake console could not half-close";

    link.SendOrder("7", "murvel");

    ASSERT_TRUE(console.WaitForRequests(1)) << "the order did not arrive on a new connection";
    checkOldConnection = true;
    ASSERT_TRUE(zn::test::WaitFor([&] { return bytesOnOldConnection.load() >= 0; }));
    EXPECT_EQ(bytesOnOldConnection.load(), 0) << "a request was sent on the closed connection";
    EXPECT_EQ(console.Requests(), (std::vector<ReceivedRequest>{{1, std::string("O7\0", 3)}}));
    EXPECT_TRUE(m_ui.Messages().empty());
}

// The fault: the seat forgot its console when a reconnect began and learned it again only when
// one succeeded, so a result page sent meanwhile, or any after a reconnect that failed, was reset.
TEST_F(RequestLinkTest, TheConsoleStaysAdmittedUntilAnotherOneIsReached) {
    auto first =
        std::make_unique<FakeConsole>(FakeConsole::GreetAndServeOne(std::string(kGreeting)));
    UseConsole(*first);
    auto link = MakeLink();
    ASSERT_TRUE(link.ConnectAndOpen());
    link.SendOrder("1", "murvel");
    ASSERT_TRUE(first->WaitForRequests(1)) << "the first order did not arrive";
    first.reset();
    m_ui.AnswerErrorDialog({false, 1, ""});

    link.SendOrder("2", "murvel");

    EXPECT_EQ(m_ui.MessageTexts(), Repeated(ClientTexts::kSendFailed, 1)) << "no reconnect failed";
    EXPECT_EQ(m_console.Get(), 0x7F000001u) << "the console's results for this seat are refused";

    FakeConsole second(FakeConsole::GreetAndServeOne(std::string(kGreeting)), true);
    UseConsole(second);
    m_sandbox.WriteFile("serverip.ini", "[PROFILE_QZ]\r\nServerAddress=127.0.0.2\r\n");
    ASSERT_TRUE(link.ConnectAndOpen());
    EXPECT_EQ(m_console.Get(), 0x7F000002u) << "a console reached now is the seat's console";
}

// The console reads one request per connection and closes it only after its reaction (popup,
// sound); a second order in that time must not go on the same connection.
TEST_F(RequestLinkTest, ASecondOrderNeverFollowsTheFirstOnOneConnection) {
    FakeConsole console([&](FakeConsole& self, CTcpSocket& connection, int index) {
        if (index > 0) {
            FakeConsole::GreetAndServeOne(std::string(kGreeting))(self, connection, index);
            return;
        }
        test::SendGreeting(connection, kGreeting);
        self.RecordRequests(connection, index);  // still reacting: the connection stays open
    });
    UseConsole(console);
    auto link = MakeLink();
    ASSERT_TRUE(link.ConnectAndOpen());

    link.SendOrder("1", "murvel");
    ASSERT_TRUE(console.WaitForRequests(1)) << "the first order did not arrive";
    link.SendOrder("2", "murvel");

    ASSERT_TRUE(console.WaitForRequests(2)) << "the second order did not arrive";
    EXPECT_EQ(console.Requests(), (std::vector<ReceivedRequest>{{0, std::string("O1\0", 3)},
                                                                {1, std::string("O2\0", 3)}}));
    EXPECT_TRUE(m_ui.Messages().empty());
}

}  // namespace
}  // namespace zn::client
