#include "client/ClientWindowController.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "FakeClientUi.h"
#include "FakeClientWindow.h"
#include "FakeConsole.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "client/TrustedSites.h"
#include "platform/Registry.h"

namespace zn::client {
namespace {

using test::FakeClientUi;
using test::FakeClientWindow;
using test::FakeConsole;

PageValueReader Values(std::map<std::string, std::string, std::less<>> values) {
    return [values = std::move(values)](std::string_view id) {
        const auto found = values.find(id);
        return found == values.end() ? std::string() : found->second;
    };
}

class ClientWindowControllerTest : public ::testing::Test {
protected:
    void WriteSettings(std::uint16_t consolePort) {
        m_sandbox.WriteFile("gameclient.dat",
                            "[PROFILE_QZ]\r\nRemotePort=" + std::to_string(consolePort) +
                                "\r\nMainPage=http://shop.test/wb/indexc.jsp\r\n");
        m_sandbox.WriteFile("serverip.ini", "[PROFILE_QZ]\r\nServerAddress=127.0.0.1\r\n");
    }

    ClientEnvironment Environment(std::optional<std::uint16_t> feedbackPort = 0) {
        RequestLinkOptions link;
        link.ownAddress = [] { return std::optional<std::string>("192.0.2.7"); };
        link.finder.discover = [](std::uint16_t, std::chrono::milliseconds) {
            ADD_FAILURE() << "the seat tried to broadcast";
            return std::optional<std::uint32_t>();
        };
        return ClientEnvironment{m_registry,
                                 ClientSettings(m_registry, m_sandbox.Path()),
                                 m_sandbox.Path(),
                                 "campaign=3",
                                 link,
                                 feedbackPort};
    }

    bool FeedbackPortAcceptsConnections(std::uint16_t port) {
        const auto address = CSocketAddress::FromDotted("127.0.0.1", port);
        CTcpSocket probe;
        return probe.Create(0) && probe.Connect(&*address);
    }

    zn::test::Sandbox m_sandbox;
    Registry m_registry{m_sandbox.RegistryFolder()};
    FakeClientWindow m_window;
    FakeClientUi m_linkUi;
};

TEST(ClientPageEventsTest, TableBindsTheAgreedIdsExactly) {
    EXPECT_EQ(FindClientAction("Init"), ClientAction::Init);
    EXPECT_EQ(FindClientAction("ButtonOnRefresh"), ClientAction::Refresh);
    EXPECT_EQ(FindClientAction("ButtonOnSubmit"), ClientAction::Submit);
    EXPECT_EQ(FindClientAction("ButtonOnTextSubmit"), ClientAction::TextSubmit);
    EXPECT_EQ(FindClientAction("ButtonOK"), ClientAction::Ok);
    EXPECT_EQ(FindClientAction("ButtonCancel"), ClientAction::Cancel);
    EXPECT_EQ(FindClientAction("ButtonMain"), ClientAction::Main);
    EXPECT_EQ(FindClientAction("ButtonSetTrust"), ClientAction::SetTrust);
    EXPECT_EQ(FindClientAction("buttonmain"), ClientAction::None);
    EXPECT_EQ(FindClientAction("ButtonLogin"), ClientAction::None);
    EXPECT_EQ(FindClientAction(""), ClientAction::None);
}

TEST_F(ClientWindowControllerTest, PageActionsOnTheUiThread) {
    ClientWindowController controller(Environment(), m_window, m_linkUi);
    controller.OnPageClick("Init", Values({{"title", "网吧购物充值客户端"}}));
    controller.OnPageClick("Init", Values({}));
    EXPECT_EQ(m_window.captions, (std::vector<std::string>{"网吧购物充值客户端", ""}));

    controller.OnPageClick("ButtonSetTrust", Values({{"TrustSites", "wb$shop.example"}}));
    const auto key = m_registry.OpenKey(RegistryRoot::CurrentUser,
                                        std::string(kZoneMapDomains) + "\\shop.example\\wb");
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->QueryDword("*"), 2u);

    controller.OnPageClick("ButtonOK", Values({}));
    controller.OnCommand(kCommandOk);
    EXPECT_EQ(m_window.ended, 0);
    EXPECT_TRUE(m_window.questions.empty());

    controller.OnPageClick("ButtonCancel", Values({}));
    EXPECT_EQ(m_window.ended, 1);
    EXPECT_TRUE(controller.OnCloseRequested());
    EXPECT_TRUE(m_window.questions.empty()) << "ButtonCancel ends without the question";
}

TEST_F(ClientWindowControllerTest, EscapeEndsWithoutTheQuestion) {
    ClientWindowController controller(Environment(), m_window, m_linkUi);
    controller.OnCommand(kCommandCancel);
    EXPECT_EQ(m_window.ended, 1);
    EXPECT_TRUE(controller.OnCloseRequested());
    EXPECT_TRUE(m_window.questions.empty());
}

TEST_F(ClientWindowControllerTest, ShopDomainIsTrustedAtSetUp) {
    m_sandbox.WriteFile("gameclient.dat", "[PROFILE_QZ]\r\nShopDomain=shop.cafe.example\r\n");
    ClientWindowController controller(Environment(), m_window, m_linkUi);
    controller.TrustShopDomain();
    const auto key = m_registry.OpenKey(RegistryRoot::CurrentUser,
                                        std::string(kZoneMapDomains) + "\\shop.cafe.example");
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->QueryDword("*"), 2u);
}

TEST_F(ClientWindowControllerTest, CloseQuestionNoKeepsTheListenerYesStopsIt) {
    FakeConsole console(FakeConsole::GreetAndServeOne("&cid_murvel=12&seat=7"));
    WriteSettings(console.Port());
    ClientWindowController controller(Environment(), m_window, m_linkUi);
    ASSERT_TRUE(controller.Start());
    const std::uint16_t port = controller.FeedbackPort();
    ASSERT_TRUE(m_window.RunPosted(1)) << "set-up did not finish";

    m_window.answers = {false, true};
    EXPECT_FALSE(controller.OnCloseRequested());
    // The listener thread starts listening on its own schedule.
    EXPECT_TRUE(zn::test::WaitFor([&] { return FeedbackPortAcceptsConnections(port); }))
        << "No must keep the listener";
    EXPECT_TRUE(controller.OnCloseRequested());
    EXPECT_FALSE(FeedbackPortAcceptsConnections(port)) << "Yes must stop the listener";
    ASSERT_EQ(m_window.questions.size(), 2u);
    EXPECT_EQ(m_window.questions[0],
              "请确认您的操作|如果您正在交易中，退出本程序将使您无法接受到来自收银台的交易反馈，"
              "是否继续？");
}

TEST_F(ClientWindowControllerTest, BusyFeedbackPortEndsTheStartSilently) {
    CTcpSocket holder;
    ASSERT_TRUE(holder.Create(0) && holder.Listen());
    const auto busy = ntohs(holder.Local().sin_port);
    ClientWindowController controller(Environment(busy), m_window, m_linkUi);
    EXPECT_FALSE(controller.Start());
    EXPECT_TRUE(m_linkUi.Messages().empty());
    EXPECT_TRUE(m_linkUi.Navigations().empty());
}

TEST_F(ClientWindowControllerTest, StartOpensTheShopThenShowsTheWindow) {
    FakeConsole console(FakeConsole::GreetAndServeOne("&cid_murvel=12&seat=7"));
    WriteSettings(console.Port());
    ClientWindowController controller(Environment(), m_window, m_linkUi);
    ASSERT_TRUE(controller.Start());
    ASSERT_TRUE(m_window.RunPosted(1)) << "set-up did not finish";
    EXPECT_EQ(m_linkUi.Navigations(),
              (std::vector<std::string>{"http://shop.test/wb/indexc.jsp?&cid_murvel=12&seat=7&ip="
                                        "192.0.2.7&campaign=3&first=1"}));
    EXPECT_EQ(m_window.shown, 1);
}

TEST_F(ClientWindowControllerTest, GivingUpAtStartLeavesTheWindowHiddenOnceItEnds) {
    FakeConsole console(FakeConsole::CloseAtOnce());
    WriteSettings(console.Port());
    ClientWindowController controller(Environment(), m_window, m_linkUi);
    ASSERT_TRUE(controller.Start());
    ASSERT_TRUE(zn::test::WaitFor([&] { return m_linkUi.CloseRequests() == 1; }))
        << "giving up did not ask to close";
    m_window.answers = {true};
    EXPECT_TRUE(controller.OnCloseRequested());
    ASSERT_TRUE(m_window.RunPosted(1));
    EXPECT_EQ(m_window.shown, 0);
}

TEST_F(ClientWindowControllerTest, PageActionsWaitForTheRunningLinkJob) {
    // A console that keeps reading, so that every request travels on the first connection.
    FakeConsole console([](FakeConsole& self, CTcpSocket& connection, int index) {
        test::SendGreeting(connection, "&cid_murvel=12&seat=7");
        self.RecordRequests(connection, index);
    });
    WriteSettings(console.Port());
    ClientWindowController controller(Environment(), m_window, m_linkUi);
    ASSERT_TRUE(controller.Start());
    // Clicked while the start still connects: each runs after the one before it.
    controller.OnPageClick("ButtonOnSubmit",
                           Values({{"serial", "1001"}, {"PlatformId", "murvel"}}));
    controller.OnPageClick("ButtonOnSubmit", Values({{"serial", "1002"}, {"PlatformId", "other"}}));
    controller.OnPageClick("ButtonOnTextSubmit", Values({{"textSubmit", "hi"}}));
    ASSERT_TRUE(console.WaitForRequests(3)) << "the page actions did not all reach the console";
    const auto requests = console.Requests();
    EXPECT_EQ(requests[0].body, std::string("O1001\0", 6));
    EXPECT_EQ(requests[1].body, std::string("1002\0", 5));
    EXPECT_EQ(requests[2].body, std::string("Xh\0i\0\0\0", 7));
    EXPECT_TRUE(controller.Shutdown(std::chrono::seconds(20)));
}

}  // namespace
}  // namespace zn::client
