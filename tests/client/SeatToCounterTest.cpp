// The road of one order through both cores over loopback, without any window.
#include <gtest/gtest.h>

#include <mutex>

#include "FakeClientUi.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "client/ClientSettings.h"
#include "client/FeedbackListener.h"
#include "client/FeedbackPage.h"
#include "client/RequestLink.h"
#include "console/LoginState.h"
#include "console/NavigationHandOver.h"
#include "console/RequestService.h"
#include "console/RequestUi.h"
#include "console/SeatFeedback.h"
#include "net/Frame.h"
#include "platform/Registry.h"
#include "platform/SoundPlayer.h"
#include "platform/TextCodec.h"
#include "platform/WindowDirectory.h"

namespace zn::client {
namespace {

using test::FakeClientUi;

std::vector<std::byte> Bytes(std::string_view text) {
    const auto* data = reinterpret_cast<const std::byte*>(text.data());
    return std::vector<std::byte>(data, data + text.size());
}

// The counter's screen and speaker, recorded.
class CounterRecorder : public console::IRequestUi, public ISoundPlayer {
public:
    void ShowText(const std::string& text, int, int, int, int) override {
        const std::lock_guard lock(m_mutex);
        m_popups.push_back(text);
    }
    void ShowMaximizedAndRaise() override {}
    void KeepCustomerMessage(const std::string&, const std::string&, const std::string&) override {}
    void KeepOrder(const std::string&, const std::string&, const std::string&) override {}
    void PlayFileSync(const std::filesystem::path&) override {
        const std::lock_guard lock(m_mutex);
        ++m_sounds;
    }
    void Navigated(std::string address) {
        const std::lock_guard lock(m_mutex);
        m_navigations.push_back(std::move(address));
    }

    std::vector<std::string> Popups() const {
        const std::lock_guard lock(m_mutex);
        return m_popups;
    }
    std::vector<std::string> Navigations() const {
        const std::lock_guard lock(m_mutex);
        return m_navigations;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_popups;
    std::vector<std::string> m_navigations;
    int m_sounds = 0;
};

class SeatToCounterTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_seatFolder);
        ASSERT_TRUE(m_feedback.Create(0) && m_feedback.Start()) << "seat cannot listen";
        m_sandbox.WriteFile("console/RequestReceived.html",
                            TextCodec::Utf8ToGbk("<html>\n<p>已收到您的订单</p>\n</html>"));
        m_sandbox.WriteFile("registry/HKEY_LOCAL_MACHINE.reg",
                            "Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaConsole]\r\n"
                            "\"RemotePort\"=dword:" +
                                Hex(m_feedback.Port()) + "\r\n");
        m_login.RecordLogin("12");
        ASSERT_TRUE(m_service.StartListener(0)) << "console cannot listen";
        m_sandbox.WriteFile(
            "gameclient.dat",
            "[PROFILE_QZ]\r\nRemotePort=" + std::to_string(m_service.ListenerPort()) +
                "\r\nMainPage=http://shop.test/wb/indexc.jsp\r\n");
        m_sandbox.WriteFile("serverip.ini", "[PROFILE_QZ]\r\nServerAddress=127.0.0.1\r\n");
    }

    static std::string Hex(std::uint16_t value) {
        char text[9];
        std::snprintf(text, sizeof text, "%08x", value);
        return text;
    }

    RequestLinkOptions SeatOptions() {
        RequestLinkOptions options;
        options.ownAddress = [] { return std::optional<std::string>("192.0.2.7"); };
        options.finder.discover = [](std::uint16_t, std::chrono::milliseconds) {
            ADD_FAILURE() << "the seat tried to broadcast outside a network namespace";
            return std::optional<std::uint32_t>();
        };
        return options;
    }

    std::optional<std::string> SeatPage() const {
        return zn::test::ReadFile(m_seatFolder / std::string(kFeedbackPageName));
    }

    // The console has reacted to a request (it keeps the connection open for more).
    bool CounterReacted(std::size_t navigations) const {
        return zn::test::WaitFor([&] { return m_counter.Navigations().size() >= navigations; });
    }

    zn::test::Sandbox m_sandbox;
    std::filesystem::path m_seatFolder = m_sandbox.Path() / "seat";

    FakeClientUi m_seatUi;
    CurrentConsole m_console;
    FeedbackListener m_feedback{m_seatUi, m_console, m_seatFolder};

    Registry m_registry{m_sandbox.RegistryFolder()};
    ClientSettings m_seatSettings{m_registry, m_sandbox.Path()};
    WindowDirectory m_windows{m_sandbox.RuntimeFolder()};
    console::LoginState m_login;
    CounterRecorder m_counter;
    console::NavigationHandOver m_handOver{[this] {
        for (std::string page = m_handOver.TakePending(); !page.empty();
             page = m_handOver.TakePending()) {
            m_counter.Navigated(std::move(page));
        }
    }};
    console::RequestService m_service{console::RequestContext{m_registry, m_windows, m_login,
                                                              m_handOver, m_counter, m_counter,
                                                              m_sandbox.Path() / "console"}};
};

TEST_F(SeatToCounterTest, OrdersMessagesAndPagesTravelBothWays) {
    RequestLink seat(m_seatUi, m_seatSettings, m_console, "ad=3", SeatOptions());

    ASSERT_TRUE(seat.ConnectAndOpen()) << "start failed";
    EXPECT_EQ(m_seatUi.Navigations(),
              std::vector<std::string>{
                  "http://shop.test/wb/indexc.jsp?&cid_murvel=12&seat=&ip=192.0.2.7&ad=3&first=1"});

    // An order: the counter opens its transaction page, the seat stores the notice page.
    seat.SendOrder("20240501001", "murvel");
    ASSERT_TRUE(CounterReacted(1)) << "the counter never opened the first transaction";
    EXPECT_TRUE(m_counter.Navigations()[0].ends_with("?transid=20240501001"));
    ASSERT_TRUE(zn::test::WaitFor([&] { return m_seatUi.Raises() == 1; }))
        << "the notice page never reached the seat";
    EXPECT_EQ(SeatPage(),
              TextCodec::Utf8ToGbk("<html>\r\n<p>已收到您的订单</p>\r\n</html>") + '\0');
    EXPECT_EQ(m_seatUi.Navigations().size(), 1u) << "a notice page is not shown";

    // Each order goes on a connection of its own; the one left behind is closed.
    seat.SendOrder("20240501002", "murvel");
    ASSERT_TRUE(CounterReacted(2)) << "the second order was lost";
    EXPECT_TRUE(m_counter.Navigations()[1].ends_with("?transid=20240501002"));

    seat.SendMessage("请送一瓶水");
    ASSERT_TRUE(zn::test::WaitFor([&] { return m_counter.Popups().size() == 3; }))
        << "the message never reached the counter";
    EXPECT_TRUE(m_counter.Popups()[2].ends_with("的顾客消息：请送一瓶水"));
    ASSERT_EQ(m_seatUi.Messages().size(), 1u) << "only the message-sent notice is expected";
    EXPECT_EQ(m_seatUi.Messages()[0].caption, "请送一瓶水");

    // Result pages from the counter, one per connection.
    const auto seatAddress = *CSocketAddress::FromDotted("127.0.0.1", 0);
    const std::string success = TextCodec::Utf8ToGb2312("<body><p>交易成功</p></body>");
    ASSERT_TRUE(console::SendPageToSeat(seatAddress, m_feedback.Port(), Bytes(success)));
    ASSERT_TRUE(zn::test::WaitFor([&] { return m_seatUi.Raises() == 3; }));
    EXPECT_EQ(m_seatUi.Navigations().back(),
              FileUrl(m_seatFolder / std::string(kFeedbackPageName)));
    EXPECT_EQ(SeatPage(), success + '\0');

    const std::string failure = TextCodec::Utf8ToGb2312("<body><p>交易失败</p></body>");
    ASSERT_TRUE(console::SendPageToSeat(seatAddress, m_feedback.Port(), Bytes(failure)));
    ASSERT_TRUE(zn::test::WaitFor([&] { return m_seatUi.Raises() == 4; }));
    EXPECT_EQ(SeatPage(), failure + '\0');
    EXPECT_EQ(m_seatUi.Navigations().size(), 2u) << "a page without success is not shown";
}

TEST_F(SeatToCounterTest, ASeatNeverHoldsMoreThanOneConnectionAtTheCounter) {
    RequestLink seat(m_seatUi, m_seatSettings, m_console, "", SeatOptions());
    ASSERT_TRUE(seat.ConnectAndOpen());
    for (std::size_t order = 1; order <= 20; ++order) {
        seat.SendOrder("S" + std::to_string(order), "murvel");
        ASSERT_TRUE(CounterReacted(order)) << "order " << order << " was lost";
        ASSERT_TRUE(zn::test::WaitFor([&] { return m_service.ActiveWorkers() == 1; }))
            << m_service.ActiveWorkers() << " connections held after order " << order;
    }
    EXPECT_TRUE(m_seatUi.Messages().empty()) << "a send failed on the way";
}

TEST_F(SeatToCounterTest, ACounterTheSeatDoesNotKnowLearnsThatItsPageWasRefused) {
    const auto seatAddress = *CSocketAddress::FromDotted("127.0.0.1", 0);
    const std::string success = TextCodec::Utf8ToGb2312("<body><p>交易成功</p></body>");
    EXPECT_FALSE(console::SendPageToSeat(seatAddress, m_feedback.Port(), Bytes(success)));
    EXPECT_FALSE(SeatPage().has_value());
}

TEST_F(SeatToCounterTest, TwoPagesOnOneFeedbackConnectionAreHandledInOrder) {
    m_console.Set(0x7F000001);  // as a request connection to 127.0.0.1 would
    CTcpSocket counter;
    const auto seat = *CSocketAddress::FromDotted("127.0.0.1", m_feedback.Port());
    ASSERT_TRUE(zn::test::WaitFor([&] { return counter.Create(0) && counter.Connect(&seat); }));
    const auto first = TextCodec::Utf8ToGb2312("<p>成功 1</p>");
    const auto second = TextCodec::Utf8ToGb2312("<p>2</p>");
    ASSERT_TRUE(SendTextFrame(counter, first));
    ASSERT_TRUE(SendTextFrame(counter, second));

    ASSERT_TRUE(zn::test::WaitFor([&] { return m_seatUi.Raises() == 2; }));
    EXPECT_EQ(SeatPage(), second + '\0');
    EXPECT_EQ(m_seatUi.Navigations().size(), 1u);
}

}  // namespace
}  // namespace zn::client
