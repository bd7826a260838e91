#include "client/FeedbackListener.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "FakeClientUi.h"
#include "LogCapture.h"
#include "PeerEnds.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "client/ClientTexts.h"
#include "client/FeedbackPage.h"
#include "net/Frame.h"
#include "platform/TextCodec.h"

namespace zn::client {
namespace {

using test::FakeClientUi;

std::vector<std::byte> Page(std::string_view utf8) {
    const std::string gbk = TextCodec::Utf8ToGbk(utf8) + '\0';
    const auto* data = reinterpret_cast<const std::byte*>(gbk.data());
    return std::vector<std::byte>(data, data + gbk.size());
}

std::string Stored(std::string_view utf8) {
    std::string stored;
    for (const char c : TextCodec::Utf8ToGbk(utf8)) {
        if (c == '\n') {
            stored += '\r';
        }
        stored += c;
    }
    return stored + '\0';
}

class FeedbackListenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_console.Set(0x7F000001);  // 127.0.0.1
        ASSERT_TRUE(m_listener.Create(0)) << "cannot bind the feedback socket";
        ASSERT_TRUE(m_listener.Start());
    }

    std::unique_ptr<CTcpSocket> ConnectAsConsole(const char* from = "127.0.0.1") {
        return ConnectTo(m_listener, from);
    }

    static std::unique_ptr<CTcpSocket> ConnectTo(const FeedbackListener& listener,
                                                 const char* from = "127.0.0.1") {
        auto socket = std::make_unique<CTcpSocket>();
        const auto local = *CSocketAddress::FromDotted(from, 0);
        const auto seat = *CSocketAddress::FromDotted("127.0.0.1", listener.Port());
        // Once: a listener that refused a console connecting right after its start lost pages.
        EXPECT_TRUE(socket->Create(local) && socket->Connect(&seat))
            << "the feedback listener refused the console";
        return socket;
    }

    std::optional<std::string> StoredPage() const {
        return zn::test::ReadFile(m_sandbox.Path() / std::string(kFeedbackPageName));
    }

    zn::test::Sandbox m_sandbox;
    FakeClientUi m_ui;
    CurrentConsole m_console;
    FeedbackListener m_listener{m_ui, m_console, m_sandbox.Path()};
};

TEST_F(FeedbackListenerTest, SuccessPageIsStoredShownAndRaised) {
    auto console = ConnectAsConsole();
    ASSERT_TRUE(SendFrame(*console, Page("<p>交易成功</p>\n")));

    ASSERT_TRUE(zn::test::WaitFor([&] { return m_ui.Raises() == 1; })) << "window not raised";
    EXPECT_EQ(StoredPage(), Stored("<p>交易成功</p>\n"));
    EXPECT_EQ(m_ui.Navigations(),
              std::vector<std::string>{FileUrl(m_sandbox.Path() / std::string(kFeedbackPageName))});
}

TEST_F(FeedbackListenerTest, PageWithoutSuccessIsStoredNotShownButRaised) {
    auto console = ConnectAsConsole();
    ASSERT_TRUE(SendFrame(*console, Page("<p>已收到您的订单</p>")));

    ASSERT_TRUE(zn::test::WaitFor([&] { return m_ui.Raises() == 1; })) << "window not raised";
    EXPECT_EQ(StoredPage(), Stored("<p>已收到您的订单</p>"));
    EXPECT_TRUE(m_ui.Navigations().empty());
    EXPECT_EQ(m_ui.ReloadsIfShown(),
              std::vector<std::string>{FileUrl(m_sandbox.Path() / std::string(kFeedbackPageName))})
        << "a seat showing the stored page must show the new one";
    EXPECT_TRUE(m_ui.Messages().empty());
}

// The attack: any host on the LAN pushed a page holding "成功", which was then shown with scripts
// on, as a local file.
TEST_F(FeedbackListenerTest, PeerOtherThanTheConsoleIsClosedUnread) {
    zn::test::LogCapture log;
    auto stranger = ConnectAsConsole("127.0.0.2");
    SendFrame(*stranger, Page("<p>交易成功</p><script>steal()</script>"));

    EXPECT_TRUE(test::PeerEnds(*stranger));
    m_listener.Stop();
    EXPECT_FALSE(StoredPage().has_value());
    EXPECT_TRUE(m_ui.Navigations().empty());
    EXPECT_EQ(m_ui.Raises(), 0);
    EXPECT_TRUE(m_ui.Messages().empty()) << "a refusal is not the customer's business";
    EXPECT_TRUE(log.Contains({"127.0.0.2", "refused", "127.0.0.1"}));
}

// A console on this machine reaches the seat's own address from that same address.
TEST_F(FeedbackListenerTest, ALocalConsoleMaySendFromAnyOfTheMachinesAddresses) {
    auto fromItself = std::make_unique<CTcpSocket>();
    const auto own = *CSocketAddress::FromDotted("127.0.0.3", m_listener.Port());
    ASSERT_TRUE(zn::test::WaitFor([&] {
        return fromItself->Create(*CSocketAddress::FromDotted("127.0.0.3", 0)) &&
               fromItself->Connect(&own);
    }));
    ASSERT_TRUE(SendFrame(*fromItself, Page("<p>交易成功</p>")));
    ASSERT_TRUE(zn::test::WaitFor([&] { return m_ui.Raises() == 1; })) << "the page was refused";

    m_console.Set(0x0A000009);  // 10.0.0.9: a console elsewhere
    auto again = std::make_unique<CTcpSocket>();
    ASSERT_TRUE(again->Create(*CSocketAddress::FromDotted("127.0.0.3", 0)) && again->Connect(&own));
    EXPECT_TRUE(test::PeerEnds(*again)) << "only a console on this machine may do so";
}

TEST_F(FeedbackListenerTest, BeforeTheFirstRequestConnectionNoPeerIsAdmitted) {
    const CurrentConsole none;
    FeedbackListener listener(m_ui, none, m_sandbox.Path());
    ASSERT_TRUE(listener.Create(0) && listener.Start());
    auto console = ConnectTo(listener);
    SendFrame(*console, Page("<p>交易成功</p>"));

    EXPECT_TRUE(test::PeerEnds(*console));
    listener.Stop();
    EXPECT_FALSE(StoredPage().has_value());
    EXPECT_EQ(m_ui.Raises(), 0);
}

TEST_F(FeedbackListenerTest, PagesOnOneConnectionAreHandledInOrder) {
    auto console = ConnectAsConsole();
    std::vector<std::byte> both = EncodeFrame(Page("<p>成功</p>"));
    const auto empty = EncodeFrame({});
    const auto second = EncodeFrame(Page("<p>second</p>"));
    both.insert(both.end(), empty.begin(), empty.end());
    both.insert(both.end(), second.begin(), second.end());
    ASSERT_EQ(console->SendAll(both.data(), 0, static_cast<int>(both.size())),
              static_cast<int>(both.size()));

    ASSERT_TRUE(zn::test::WaitFor([&] { return m_ui.Raises() == 2; })) << "not both pages seen";
    EXPECT_EQ(StoredPage(), Stored("<p>second</p>"));
    EXPECT_EQ(m_ui.Navigations().size(), 1u);
    EXPECT_EQ(m_ui.ReloadsIfShown().size(), 1u);
}

TEST_F(FeedbackListenerTest, FrameOverTheCapIsRefusedAndEndsTheConnection) {
    auto console = ConnectAsConsole();
    const std::uint32_t length = kPageFrameCap + 1;  // little-endian on this machine
    ASSERT_EQ(console->SendAll(&length, 0, sizeof length), 4);

    EXPECT_TRUE(test::PeerEnds(*console));
    ASSERT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_EQ(m_ui.Messages()[0].text, ClientTexts::PageNotReceived(EMSGSIZE));
    EXPECT_EQ(m_ui.Messages()[0].caption, ClientTexts::kClientCaption);
    EXPECT_FALSE(StoredPage().has_value());
    EXPECT_EQ(m_ui.Raises(), 0);
}

TEST_F(FeedbackListenerTest, LengthThenCloseGivesOneMessageAndNoPage) {
    auto console = ConnectAsConsole();
    const std::uint32_t length = 100;
    ASSERT_EQ(console->SendAll(&length, 0, sizeof length), 4);
    ASSERT_EQ(console->SendAll("<html>", 0, 6), 6);
    console->Close();

    ASSERT_TRUE(zn::test::WaitFor([&] { return !m_ui.Messages().empty(); }))
        << "no message for the incomplete page";
    m_listener.Stop();  // joins the receiver: nothing more can happen
    ASSERT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_EQ(m_ui.Messages()[0].text.rfind("错误：从与网吧收银台接收数据失败(", 0), 0u);
    EXPECT_FALSE(StoredPage().has_value());
    EXPECT_EQ(m_ui.Raises(), 0);
}

// The fault: a console connection that ended within a frame's length showed the customer an error
// box; it ends silently, as one that ends before any byte.
TEST_F(FeedbackListenerTest, AConnectionEndingWithinTheLengthEndsSilently) {
    zn::test::LogCapture log;
    auto console = ConnectAsConsole();
    ASSERT_EQ(console->SendAll("\x10\x00", 0, 2), 2);
    console->Close();

    ASSERT_TRUE(zn::test::WaitFor([&] {
        return log.Contains({"127.0.0.1", "ended within a page's length"});
    })) << "the cut-off connection was not logged";
    m_listener.Stop();
    EXPECT_TRUE(m_ui.Messages().empty());
    EXPECT_FALSE(StoredPage().has_value());
    EXPECT_EQ(m_ui.Raises(), 0);
}

// The attack: 32 idle connections from one host filled the receiver cap, and every later page of
// the console was refused.
TEST_F(FeedbackListenerTest, IdleConnectionsMakeRoomForTheConsolesPage) {
    zn::test::LogCapture log;
    std::vector<std::unique_ptr<CTcpSocket>> idle;
    for (std::size_t i = 0; i < FeedbackListener::kMaxReceivers; ++i) {
        idle.push_back(ConnectAsConsole());
    }
    auto console = ConnectAsConsole();
    ASSERT_TRUE(SendFrame(*console, Page("<p>交易成功</p>")));

    ASSERT_TRUE(zn::test::WaitFor([&] { return m_ui.Raises() == 1; })) << "the page was refused";
    EXPECT_EQ(m_ui.Navigations().size(), 1u);
    EXPECT_TRUE(test::PeerEnds(*idle.front())) << "the oldest idle connection must make room";
    EXPECT_TRUE(log.Contains({"127.0.0.1", "closed to make room"}));
}

// The attack: a peer that announces a frame and sends it slowly, or never, held its receiver.
TEST_F(FeedbackListenerTest, AFrameIsCutOffAtItsDeadlineButIdleTimeIsFree) {
    FeedbackListener listener(m_ui, m_console, m_sandbox.Path(),
                              FeedbackLimits{std::chrono::milliseconds(300)});
    ASSERT_TRUE(listener.Create(0) && listener.Start());
    auto idle = ConnectTo(listener);
    auto stalled = ConnectTo(listener);
    ASSERT_EQ(stalled->SendAll("\x10\x00", 0, 2), 2);

    EXPECT_TRUE(test::PeerEnds(*stalled)) << "a frame under way has a deadline";
    EXPECT_FALSE(test::PeerEnds(*idle, std::chrono::milliseconds(600)))
        << "the deadline starts at the first length byte";
    ASSERT_TRUE(SendFrame(*idle, Page("late but whole")));
    ASSERT_TRUE(zn::test::WaitFor([&] { return m_ui.Raises() == 1; }));
    EXPECT_EQ(m_ui.MessageTexts(),
              std::vector<std::string>{ClientTexts::PageNotReceived(ETIMEDOUT)});
}

std::size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    std::size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// The attack: connections that announced 16 MiB each and sent one byte made the seat allocate
// (and touch) every announced page at once.
TEST_F(FeedbackListenerTest, AnnouncedLengthsAreNotAllocatedAheadOfTheBytes) {
    const std::size_t before = ResidentBytes();
    std::vector<std::unique_ptr<CTcpSocket>> announcing;
    for (std::size_t i = 0; i < FeedbackListener::kMaxReceiversPerPeer; ++i) {
        announcing.push_back(ConnectAsConsole());
        const std::uint32_t length = kPageFrameCap;  // little-endian on this machine
        ASSERT_EQ(announcing.back()->SendAll(&length, 0, sizeof length), 4);
        ASSERT_EQ(announcing.back()->SendAll("<", 0, 1), 1);
    }
    constexpr std::size_t kAllowance = 16 * 1024 * 1024;  // 8 announced pages would be 128 MiB
    EXPECT_FALSE(zn::test::WaitFor([&] { return ResidentBytes() > before + kAllowance; },
                                   std::chrono::seconds(1)))
        << "grew by " << (ResidentBytes() - before) / 1024 / 1024 << " MiB";
}

TEST_F(FeedbackListenerTest, StopEndsOpenConnections) {
    auto console = ConnectAsConsole();
    ASSERT_TRUE(SendFrame(*console, Page("x")));
    ASSERT_TRUE(zn::test::WaitFor([&] { return m_ui.Raises() == 1; }));

    m_listener.Stop();

    EXPECT_TRUE(test::PeerEnds(*console));
    EXPECT_TRUE(m_ui.Messages().empty()) << "stopping is not a receive failure";
}

}  // namespace
}  // namespace zn::client
