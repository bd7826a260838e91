#include "console/RequestService.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ConsoleFakes.h"
#include "FakeSeat.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "console/ConsoleSettings.h"
#include "console/LoginState.h"
#include "platform/Registry.h"
#include "platform/WindowDirectory.h"

namespace zn::console {
namespace {

using test::Bytes;
using test::ClosedByPeer;
using test::FakeSeat;
using zn::test::WaitFor;

constexpr std::string_view kViewPage = "http://backoffice.test/view.jsp";
constexpr std::string_view kNoticePage = "<html>已收到</html>";

class RequestServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(programFolder);
        WriteProgramFile("RequestReceived.html", kNoticePage);
        WriteProgramFile("SeatList.xml", "<SeatList><Seat IP=\"127.0.0.1\">A1</Seat></SeatList>");
        auto key = registry.CreateKey(RegistryRoot::LocalMachine, kConsoleKeyPath);
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->SetDword("RemotePort", feedback.Port()));
        ASSERT_TRUE(key->SetString("ViewTransPage_Murvel", kViewPage));
        login.RecordLogin("12");
    }

    void WriteProgramFile(std::string_view name, std::string_view content) {
        std::ofstream(programFolder / name, std::ios::binary) << content;
    }

    void StartService(RequestServiceLimits limits = {}) {
        service = std::make_unique<RequestService>(
            RequestContext{registry, windows, login, uiThread.HandOver(), ui, sound, programFolder},
            limits);
        ASSERT_TRUE(service->StartListener(0));
    }

    // Connects, checks the greeting, sends the body, waits for the reaction (it ends with the
    // sound), leaves the connection and waits until the worker and the UI thread are done.
    void Request(std::span<const std::byte> body,
                 std::string_view greeting = "&cid_murvel=12&seat=A1") {
        const std::size_t soundsBefore = sound.Played().size();
        {
            FakeSeat seat;
            ASSERT_TRUE(seat.Connect(service->ListenerPort()));
            EXPECT_EQ(seat.ReadGreeting(), std::string(greeting));
            ASSERT_TRUE(seat.SendBody(body));
            ASSERT_TRUE(WaitFor([&] { return sound.Played().size() > soundsBefore; }))
                << "no reaction";
        }
        ASSERT_TRUE(WaitFor([&] { return service->ActiveWorkers() == 0; })) << "worker hangs";
        ASSERT_TRUE(uiThread.WaitIdle()) << "navigations were not taken";
    }
    void RequestText(std::string_view text) { Request(Bytes(std::string(text) + '\0')); }

    // Pages pushed before now: a last notice page is requested and everything that arrived
    // ahead of it is counted (pages arrive in the order their connections were made).
    std::size_t PagesSoFar() {
        const std::size_t before = sound.Played().size();
        RequestText("S");
        EXPECT_EQ(sound.Played().size(), before + 1);
        EXPECT_TRUE(WaitFor([&] { return !feedback.Pages().empty(); })) << "no notice page";
        return feedback.Pages().size() - 1;
    }

    std::vector<std::byte> NoticeFrameBody() const {
        return Bytes(std::string(kNoticePage) + '\0');
    }
    std::string ViewAddress(std::string_view serial) const {
        return std::string(kViewPage) + "?transid=" + std::string(serial);
    }

    zn::test::Sandbox sandbox;
    std::filesystem::path programFolder = sandbox.Path() / "program";
    Registry registry{sandbox.RegistryFolder()};
    WindowDirectory windows{sandbox.RuntimeFolder()};
    LoginState login;
    test::FakeUiThread uiThread;
    test::FakeRequestUi ui;
    test::FakeSoundPlayer sound;
    test::FeedbackPort feedback;
    std::unique_ptr<RequestService> service;  // last: ends before everything it uses
};

TEST_F(RequestServiceTest, OrderSendsNoticeOpensPageAnnouncesPlaysAndNotifies) {
    std::mutex mutex;
    std::vector<std::pair<std::uint32_t, std::vector<std::byte>>> heard;
    auto window = PublishedWindow::Publish(windows, "Cashier", "Hook",
                                           [&](std::uint32_t number, std::vector<std::byte> data) {
                                               std::lock_guard lock(mutex);
                                               heard.emplace_back(number, std::move(data));
                                           });
    ASSERT_TRUE(window);
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::LocalMachine, kListenerKeyPath)
                    ->SetString("Cashier", "Hook"));
    StartService();

    RequestText("O12345");

    ASSERT_TRUE(WaitFor([&] { return feedback.Pages().size() == 1; })) << "no notice page";
    EXPECT_EQ(feedback.Pages()[0], NoticeFrameBody());
    EXPECT_EQ(uiThread.Navigations(), std::vector<std::string>{ViewAddress("12345")});
    ASSERT_EQ(ui.Popups().size(), 1u);
    const auto popup = ui.Popups()[0];
    EXPECT_EQ(popup.text, "收到来自客户 127.0.0.1[座号：A1] 的商品购买请求！");
    EXPECT_EQ(popup.appearMs, 500);
    EXPECT_EQ(popup.visibleMs, 8000);
    EXPECT_EQ(popup.hideMs, 500);
    EXPECT_EQ(popup.step, 3);
    EXPECT_EQ(ui.Raised(), 0);
    EXPECT_EQ(ui.Kept(), std::vector<std::string>{"order 12345|A1|127.0.0.1"})
        << "kept for the day's orders";
    EXPECT_EQ(sound.Played(), std::vector{programFolder / "NewRequestAlert.wav"});
    std::lock_guard lock(mutex);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].first, 10001u);
    EXPECT_EQ(heard[0].second, Bytes(std::string("O12345") + '\0'));
}

TEST_F(RequestServiceTest, UnknownSeatGetsAnEmptySeatNumberAndShowsAsUnknown) {
    WriteProgramFile("SeatList.xml", "<SeatList></SeatList>");
    StartService();
    Request(Bytes(std::string("O7") + '\0'), "&cid_murvel=12&seat=");
    ASSERT_EQ(ui.Popups().size(), 1u);
    EXPECT_EQ(ui.Popups()[0].text, "收到来自客户 127.0.0.1[座号：未知] 的商品购买请求！");
}

TEST_F(RequestServiceTest, AHostileSerialCannotAddToTheBackOfficeQuery) {
    StartService();
    RequestText("O1&transid=2#x y");
    EXPECT_EQ(uiThread.Navigations(),
              std::vector<std::string>{ViewAddress("1%26transid=2%23x%20y")});
}

TEST_F(RequestServiceTest, CounterOrderOpensThePageAndRaisesTheConsole) {
    StartService();
    RequestText("ZO12345");
    EXPECT_EQ(uiThread.Navigations(), std::vector<std::string>{ViewAddress("12345")});
    EXPECT_EQ(ui.Raised(), 1);
    EXPECT_TRUE(ui.Popups().empty());
    EXPECT_EQ(sound.Played().size(), 1u);
    EXPECT_EQ(PagesSoFar(), 0u) << "a counter order gets no notice page";
}

TEST_F(RequestServiceTest, CounterRequestWithoutOrderOnlyPlaysTheSound) {
    StartService();
    RequestText("Z12345");
    EXPECT_TRUE(uiThread.Navigations().empty());
    EXPECT_EQ(ui.Raised(), 0);
    EXPECT_TRUE(ui.Popups().empty());
    EXPECT_EQ(sound.Played().size(), 1u);
    EXPECT_EQ(PagesSoFar(), 0u);
}

TEST_F(RequestServiceTest, OtherKindsGetTheNoticePageAndTheSoundOnly) {
    StartService();
    RequestText("12345");  // a bare serial: its first character is the kind letter
    Request(Bytes(std::string(1, '\0')));
    Request({});  // no kind letter at all
    ASSERT_TRUE(WaitFor([&] { return feedback.Pages().size() == 3; })) << "notice pages missing";
    for (const auto& page : feedback.Pages()) {
        EXPECT_EQ(page, NoticeFrameBody());
    }
    EXPECT_TRUE(uiThread.Navigations().empty());
    EXPECT_TRUE(ui.Popups().empty());
    EXPECT_EQ(sound.Played().size(), 3u);
}

TEST_F(RequestServiceTest, SerialsAreConvertedFromTheWireCodePage) {
    StartService();
    RequestText("O\xb2\xe2");  // "测" in the wire code page, and so it leaves
    EXPECT_EQ(uiThread.Navigations(), std::vector<std::string>{ViewAddress("%B2%E2")});
}

TEST_F(RequestServiceTest, CustomerMessageIsAnnounced) {
    StartService();
    Request(BuildMessageBody("你好 hi"));
    ASSERT_EQ(ui.Popups().size(), 1u);
    EXPECT_EQ(ui.Popups()[0].text, "来自127.0.0.1[座号：A1]的顾客消息：你好 hi");
    EXPECT_EQ(ui.Popups()[0].visibleMs, 40000);
    EXPECT_EQ(ui.Popups()[0].appearMs, 500);
    EXPECT_EQ(ui.Popups()[0].hideMs, 500);
    EXPECT_EQ(ui.Popups()[0].step, 3);
    EXPECT_EQ(ui.Kept(), std::vector<std::string>{"A1|127.0.0.1|你好 hi"})
        << "kept for the day's messages";
    EXPECT_TRUE(uiThread.Navigations().empty());
    EXPECT_EQ(sound.Played().size(), 1u);
    EXPECT_EQ(PagesSoFar(), 0u);
}

TEST_F(RequestServiceTest, CustomerMessageWithoutItsZeroEndsWithItsFrame) {
    StartService();
    auto body = BuildMessageBody("hi");
    body.resize(body.size() - 2);
    Request(body);
    body.pop_back();  // an odd trailing byte
    Request(body);
    ASSERT_EQ(ui.Popups().size(), 2u);
    EXPECT_EQ(ui.Popups()[0].text, "来自127.0.0.1[座号：A1]的顾客消息：hi");
    EXPECT_EQ(ui.Popups()[1].text, "来自127.0.0.1[座号：A1]的顾客消息：h");
}

// The first order's alert still plays when the seat's next order comes: its page must not wait.
TEST_F(RequestServiceTest, EveryRequestOnAnOpenConnectionIsServedInOrderWhileAlertsPlay) {
    StartService();
    FakeSeat seat;
    ASSERT_TRUE(seat.Connect(service->ListenerPort()));
    ASSERT_TRUE(seat.ReadGreeting());
    sound.Hold();
    ASSERT_TRUE(seat.SendText("O1"));
    ASSERT_TRUE(WaitFor([&] { return sound.Played().size() == 1; }));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_TRUE(seat.SendText("O2")) << "an older seat's next order on the same connection";
    EXPECT_TRUE(WaitFor([&] { return feedback.Pages().size() == 2; }, std::chrono::seconds(2)))
        << "the second order's page waited for the first order's alert";
    sound.LetGo();
    ASSERT_TRUE(WaitFor([&] { return sound.Played().size() == 2; })) << "the second order was lost";
    ASSERT_TRUE(uiThread.WaitIdle());

    EXPECT_EQ(uiThread.Navigations(),
              (std::vector<std::string>{ViewAddress("1"), ViewAddress("2")}));
    EXPECT_EQ(ui.Popups().size(), 2u);
    ASSERT_TRUE(WaitFor([&] { return feedback.Pages().size() == 2; }))
        << "a notice page is missing";
    ASSERT_TRUE(WaitFor([&] { return service->ActiveWorkers() == 1; }))
        << "the connection stays the seat's to close; the alerts end";
    pollfd readable{seat.socket.Handle(), POLLIN, 0};
    EXPECT_EQ(poll(&readable, 1, 200), 0) << "the console sent more than its one greeting";
}

TEST_F(RequestServiceTest, ARequestAfterTheConsoleLoggedOutIsNotServed) {
    StartService();
    FakeSeat seat;
    ASSERT_TRUE(seat.Connect(service->ListenerPort()));
    ASSERT_TRUE(seat.ReadGreeting());
    login.ClearLoggedIn();
    ASSERT_TRUE(seat.SendText("O1"));
    EXPECT_TRUE(ClosedByPeer(seat.socket));
    EXPECT_TRUE(sound.Played().empty());
    EXPECT_TRUE(uiThread.Navigations().empty());
}

TEST_F(RequestServiceTest, LoggedOutConsoleClosesAtOnce) {
    login.ClearLoggedIn();
    StartService();
    FakeSeat seat;
    ASSERT_TRUE(seat.Connect(service->ListenerPort()));
    EXPECT_EQ(seat.ReadGreeting(), std::nullopt) << "a greeting came while logged out";
    EXPECT_EQ(service->ActiveWorkers(), 0u);

    login.RecordLogin("34");
    FakeSeat next;
    ASSERT_TRUE(next.Connect(service->ListenerPort()));
    EXPECT_EQ(next.ReadGreeting(), "&cid_murvel=34&seat=A1");
}

TEST_F(RequestServiceTest, ADeeplyNestedSeatListIsReadOnAWorkerStack) {
    std::string xml = "<SeatList>";
    for (int i = 0; i < 200000; ++i) {
        xml += "<a>";
    }
    for (int i = 0; i < 200000; ++i) {
        xml += "</a>";
    }
    WriteProgramFile("SeatList.xml", xml + "<Seat IP=\"127.0.0.1\">A9</Seat></SeatList>");
    StartService();
    Request(Bytes(std::string("O1") + '\0'), "&cid_murvel=12&seat=A9");
    ASSERT_EQ(ui.Popups().size(), 1u);
    EXPECT_EQ(ui.Popups()[0].text, "收到来自客户 127.0.0.1[座号：A9] 的商品购买请求！");
}

TEST_F(RequestServiceTest, IncompleteOrOversizedRequestsEndWithoutReaction) {
    StartService();
    {
        FakeSeat seat;  // closes before its request
        ASSERT_TRUE(seat.Connect(service->ListenerPort()));
        ASSERT_TRUE(seat.ReadGreeting());
    }
    {
        FakeSeat seat;  // a short frame
        ASSERT_TRUE(seat.Connect(service->ListenerPort()));
        ASSERT_TRUE(seat.ReadGreeting());
        ASSERT_TRUE(seat.SendRaw(Bytes(std::string_view("\x0a\x00\x00\x00O12", 7))));
    }
    {
        FakeSeat seat;  // a length over the cap, its body still to come
        ASSERT_TRUE(seat.Connect(service->ListenerPort()));
        ASSERT_TRUE(seat.ReadGreeting());
        ASSERT_TRUE(seat.SendRaw(Bytes(std::string_view("\x01\x00\x01\x00O1", 6))));
        EXPECT_TRUE(ClosedByPeer(seat.socket)) << "an oversized frame kept the worker waiting";
    }
    ASSERT_TRUE(WaitFor([&] { return service->ActiveWorkers() == 0; })) << "worker hangs";
    EXPECT_TRUE(sound.Played().empty());
    EXPECT_TRUE(uiThread.Navigations().empty());
    EXPECT_TRUE(ui.Popups().empty());
}

TEST_F(RequestServiceTest, AFrameAtTheCapIsAccepted) {
    StartService();
    RequestText("O" + std::string(kRequestFrameCap - 2, '7'));  // with its NUL: the cap
    ASSERT_EQ(uiThread.Navigations().size(), 1u);
}

TEST_F(RequestServiceTest, AMissingNoticePageOrUnreachableSeatDropsOnlyThePage) {
    StartService();
    std::filesystem::remove(programFolder / "RequestReceived.html");
    RequestText("O1");

    WriteProgramFile("RequestReceived.html", kNoticePage);
    std::uint16_t closedPort = 0;
    {
        CTcpSocket probe;  // a port that nobody listens on any more
        ASSERT_TRUE(probe.Create(0));
        closedPort = ntohs(probe.Local().sin_port);
    }
    ASSERT_TRUE(registry.OpenKey(RegistryRoot::LocalMachine, kConsoleKeyPath)
                    ->SetDword("RemotePort", closedPort));
    RequestText("O2");

    EXPECT_EQ(uiThread.Navigations(),
              (std::vector<std::string>{ViewAddress("1"), ViewAddress("2")}));
    EXPECT_EQ(ui.Popups().size(), 2u);
    EXPECT_EQ(sound.Played().size(), 2u);
    EXPECT_TRUE(feedback.Pages().empty());
}

TEST_F(RequestServiceTest, ConnectionsOverACapAreClosedAtOnce) {
    RequestServiceLimits limits;
    limits.maxConnectionsPerSeat = 2;
    limits.maxWorkers = 3;
    StartService(limits);

    std::vector<std::unique_ptr<FakeSeat>> seats;
    auto connect = [&](const char* from) {
        seats.push_back(std::make_unique<FakeSeat>());
        EXPECT_TRUE(seats.back()->Connect(service->ListenerPort(), from));
        return seats.back()->ReadGreeting().has_value();
    };
    EXPECT_TRUE(connect("127.0.0.1"));
    EXPECT_TRUE(connect("127.0.0.1"));
    EXPECT_FALSE(connect("127.0.0.1")) << "a third connection from one seat was admitted";
    EXPECT_TRUE(connect("127.0.0.2"));
    EXPECT_FALSE(connect("127.0.0.3")) << "a fourth worker was started";
    EXPECT_EQ(service->ActiveWorkers(), 3u);

    seats[0]->socket.Close();
    ASSERT_TRUE(WaitFor([&] { return service->ActiveWorkers() == 2; }));
    EXPECT_TRUE(connect("127.0.0.1")) << "a freed place was not given again";
}

// The keep-alive timer of the console's end of the connection, from the kernel's table.
std::optional<std::pair<int, long>> KeepAliveTimer(std::uint16_t localPort,
                                                   std::uint16_t remotePort) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, ":%04X", localPort);
    char peer[32];
    std::snprintf(peer, sizeof peer, ":%04X", remotePort);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer;
        fields >> slot >> local >> remote >> state >> queues >> timer;
        if (local.ends_with(wanted) && remote.ends_with(peer)) {
            const auto colon = timer.find(':');
            return std::pair{std::stoi(timer.substr(0, colon)),
                             std::stol(timer.substr(colon + 1), nullptr, 16)};
        }
    }
    return std::nullopt;
}

TEST_F(RequestServiceTest, RequestConnectionsUseKeepAlive) {
    StartService();
    FakeSeat seat;
    ASSERT_TRUE(seat.Connect(service->ListenerPort()));
    ASSERT_TRUE(seat.ReadGreeting());
    const auto timer = KeepAliveTimer(service->ListenerPort(), ntohs(seat.socket.Local().sin_port));
    ASSERT_TRUE(timer) << "the connection is not in /proc/net/tcp";
    EXPECT_EQ(timer->first, 2) << "no keep-alive timer on the console's end";
    EXPECT_LE(timer->second, 60 * 100 + 100) << "idle time is not the console's 60 s";
}

TEST_F(RequestServiceTest, ManyWorkersHandOverTheirNavigationsIntact) {
    constexpr int kSeats = 32;
    StartService();
    std::vector<std::unique_ptr<FakeSeat>> seats;
    for (int i = 0; i < kSeats; ++i) {
        seats.push_back(std::make_unique<FakeSeat>());
        const std::string from = "127.0.1." + std::to_string(i + 1);
        ASSERT_TRUE(seats.back()->Connect(service->ListenerPort(), from.c_str()));
        ASSERT_TRUE(seats.back()->ReadGreeting());
    }
    std::vector<std::string> expected;
    {
        std::vector<std::jthread> senders;
        for (int i = 0; i < kSeats; ++i) {
            expected.push_back(ViewAddress("T" + std::to_string(i)));
            senders.emplace_back([&seats, i] {
                seats[static_cast<std::size_t>(i)]->SendText("ZOT" + std::to_string(i));
            });
        }
    }
    ASSERT_TRUE(WaitFor([&] { return ui.Raised() == kSeats; }, std::chrono::seconds(20)))
        << "only " << ui.Raised() << " requests were handled";
    ASSERT_TRUE(uiThread.WaitIdle());
    EXPECT_TRUE(WaitFor([&] { return !sound.Played().empty(); }))
        << "rings at once may be heard as one, never as none";
    auto navigated = uiThread.Navigations();
    std::sort(navigated.begin(), navigated.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(navigated, expected);
    EXPECT_EQ(uiThread.EmptyDeliveries(), 0);
    EXPECT_EQ(ui.Raised(), kSeats);
}

TEST_F(RequestServiceTest, StoppingEndsIdleWorkers) {
    StartService();
    std::vector<std::unique_ptr<FakeSeat>> seats;
    for (int i = 0; i < 5; ++i) {
        seats.push_back(std::make_unique<FakeSeat>());
        ASSERT_TRUE(seats.back()->Connect(service->ListenerPort()));
        ASSERT_TRUE(seats.back()->ReadGreeting());
    }
    EXPECT_EQ(service->ActiveWorkers(), 5u);
    service->Stop();
    EXPECT_EQ(service->ActiveWorkers(), 0u);
    for (auto& seat : seats) {
        EXPECT_TRUE(ClosedByPeer(seat->socket));
    }
    EXPECT_TRUE(sound.Played().empty());
}

}  // namespace
}  // namespace zn::console
