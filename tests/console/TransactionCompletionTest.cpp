#include "console/TransactionCompletion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

#include "ConsoleFakes.h"
#include "ConsoleWindowFakes.h"
#include "FakeSeat.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "console/ConsoleSettings.h"
#include "console/ConsoleTexts.h"
#include "console/ConsoleWindowController.h"
#include "console/PageEvents.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "platform/WindowDirectory.h"

namespace zn::console {
namespace {

using test::Bytes;
using zn::test::WaitFor;

// A port on which nothing listens: taken and given back at once.
std::uint16_t ClosedPort() {
    CTcpSocket probe;
    probe.Create(0);
    const auto port = ntohs(probe.Local().sin_port);
    probe.Close();
    return port;
}

class TransactionCompletionTest : public ::testing::Test {
protected:
    TransactionCompletionTest() { SetRemotePort(seat.Port()); }
    ~TransactionCompletionTest() override { controller.Completion().WaitForSenders(); }

    void SetRemotePort(std::uint16_t port) {
        registry.CreateKey(RegistryRoot::LocalMachine, kConsoleKeyPath)
            ->SetDword("RemotePort", port);
    }
    // A click whose values carry the page's body as it stood at the click.
    void Click(const std::string& id,
               std::initializer_list<std::pair<const std::string, std::string>> values) {
        controller.OnPageClick(id, PageValueMap(values, body));
    }
    // What the UI thread has navigated to once it ran what the senders posted.
    std::vector<std::string> Navigations() {
        window.RunPosted();
        return window.CallsStartingWith("Navigate:");
    }
    std::string Done(bool delivered, const std::string& id) const {
        const ConsoleSettings settings(registry);
        return "Navigate:" +
               (delivered ? settings.TransactionDone1Murvel() : settings.TransactionDone2Murvel()) +
               "?transid=" + id;
    }
    // The seat records a page on its own thread, after the sender has already ended.
    bool WaitForPages(std::size_t count) {
        WaitFor([&] { return seat.Pages().size() >= count; });
        return seat.Pages().size() == count;
    }
    void WaitForSenders() {
        auto done =
            std::async(std::launch::async, [this] { controller.Completion().WaitForSenders(); });
        ASSERT_EQ(done.wait_for(std::chrono::seconds(20)), std::future_status::ready)
            << "a sender did not end";
    }

    zn::test::Sandbox sandbox;
    Registry registry{sandbox.RegistryFolder()};
    WindowDirectory windows{sandbox.RuntimeFolder()};
    test::FakeSoundPlayer sound;
    test::FakeProgramStarter programs;
    test::FeedbackPort seat;
    test::FakeConsoleWindow window;
    test::FakeNotifierWidget popup;
    test::FakeProgress progress;
    std::optional<std::string> body;
    ConsoleWindowController controller{
        ConsoleEnvironment{registry, windows, sound, programs, sandbox.Path(), ServicePorts{}},
        window, popup, progress};
};

TEST_F(TransactionCompletionTest, ACompletionSendsTheBodyInGb2312AndOpensTheDonePage) {
    body = "<body><p>交易成功</p></body>";
    Click("ButtonOnCommitSuccess",
          {{"ClientIP", "127.0.0.1"}, {"TransId", "单号 1&x"}, {"PlatformId", "murvel"}});
    WaitForSenders();
    ASSERT_TRUE(WaitForPages(1)) << seat.Pages().size() << " pages";
    std::string expected = TextCodec::Utf8ToGb2312("<body><p>交易成功</p></body>");
    expected.push_back('\0');
    EXPECT_EQ(seat.Pages()[0], Bytes(expected));
    EXPECT_EQ(expected.substr(9, 2), "\xBD\xBB") << "交 in GB2312";
    EXPECT_EQ(Navigations(), std::vector<std::string>{Done(true, "%B5%A5%BA%C5%201%26x")})
        << "the transaction id leaves as code page 936, its query bytes encoded";
    EXPECT_EQ(progress.texts, std::vector<std::string>{std::string(texts::kProgressText)});
    EXPECT_EQ(progress.OpenWindows(), 0u);
    EXPECT_EQ(controller.Completion().LastTransactionId(), "单号 1&x");
}

TEST_F(TransactionCompletionTest, TheWaitCursorShowsWhileACompletionOrARejectIsSetOff) {
    body = "<body>x</body>";
    Click("ButtonOnCommitSuccess", {{"ClientIP", "127.0.0.1"}});
    controller.Login().RecordLogin("c");
    Click("ButtonCancelIt_Murvel", {{"ClientIP", "127.0.0.1"}});
    WaitForSenders();
    const std::vector<std::string> twice{"WaitCursor:on", "WaitCursor:off", "WaitCursor:on",
                                         "WaitCursor:off"};
    EXPECT_EQ(window.CallsStartingWith("WaitCursor"), twice);

    body = std::nullopt;
    Click("ButtonOnCommitSuccess", {{"ClientIP", "127.0.0.1"}});
    Click("ButtonReSend", {{"ClientIP", "127.0.0.1"}});
    WaitForSenders();
    EXPECT_EQ(window.CallsStartingWith("WaitCursor"), twice)
        << "neither a completion that sends nothing nor a re-send";
}

TEST_F(TransactionCompletionTest, AnotherPlatformSendsButOpensNoDonePage) {
    body = "<body>x</body>";
    Click("ButtonOnCommitSuccess", {{"ClientIP", "127.0.0.1"}, {"TransId", "T-2"}});
    WaitForSenders();
    ASSERT_TRUE(WaitForPages(1)) << seat.Pages().size() << " pages";
    EXPECT_TRUE(Navigations().empty());
    EXPECT_EQ(progress.Closed(), 1);
}

TEST_F(TransactionCompletionTest, AFailedSendOrABadAddressOpensTheFailurePage) {
    SetRemotePort(ClosedPort());
    body = "<body>x</body>";
    Click("ButtonOnCommitSuccess",
          {{"ClientIP", "127.0.0.1"}, {"TransId", "A"}, {"PlatformId", "murvel"}});
    WaitForSenders();
    Click("ButtonOnCommitSuccess",
          {{"ClientIP", "not an address"}, {"TransId", "B"}, {"PlatformId", "murvel"}});
    WaitForSenders();
    EXPECT_EQ(Navigations(), (std::vector<std::string>{Done(false, "A"), Done(false, "B")}));
    EXPECT_EQ(progress.Closed(), 2);
}

TEST_F(TransactionCompletionTest, ASeatThatClosesWithoutReadingGetsTheFailurePage) {
    test::SilentSeat refusing(test::SilentSeat::Mode::CloseUnread);
    SetRemotePort(refusing.Port());
    body = "<body>x</body>";
    Click("ButtonOnCommitSuccess",
          {{"ClientIP", "127.0.0.1"}, {"TransId", "C"}, {"PlatformId", "murvel"}});
    WaitForSenders();
    EXPECT_EQ(Navigations(), std::vector<std::string>{Done(false, "C")});
}

TEST_F(TransactionCompletionTest, OverlappingCompletionsReportTheirOwnTransactionIds) {
    std::promise<void> secondStarted;
    auto secondStartedFuture = secondStarted.get_future().share();
    std::atomic<int> opened = 0;
    // The first sender holds its progress window until the second action has replaced the last
    // transaction id.
    progress.gate = [&] {
        if (opened++ == 0) {
            secondStartedFuture.wait_for(std::chrono::seconds(10));
        }
    };
    body = "<body>first</body>";
    Click("ButtonOnCommitSuccess",
          {{"ClientIP", "127.0.0.1"}, {"TransId", "FIRST"}, {"PlatformId", "murvel"}});
    body = "<body>second</body>";
    Click("ButtonOnCommitSuccess",
          {{"ClientIP", "127.0.0.1"}, {"TransId", "SECOND"}, {"PlatformId", "murvel"}});
    EXPECT_EQ(controller.Completion().LastTransactionId(), "SECOND");
    secondStarted.set_value();
    WaitForSenders();
    auto navigations = Navigations();
    std::sort(navigations.begin(), navigations.end());
    auto expected = std::vector<std::string>{Done(true, "FIRST"), Done(true, "SECOND")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(navigations, expected);
    ASSERT_TRUE(WaitForPages(2)) << seat.Pages().size() << " pages";
}

TEST_F(TransactionCompletionTest, WithoutABodyNothingIsSentAndTheLastPageStays) {
    body = "<body>kept</body>";
    Click("ButtonOnCommitSuccess", {{"ClientIP", "127.0.0.1"}});
    body = std::nullopt;
    Click("ButtonOnCommitSuccess", {{"ClientIP", "127.0.0.1"}, {"TransId", "T"}});
    WaitForSenders();
    ASSERT_TRUE(WaitForPages(1)) << seat.Pages().size() << " pages";
    EXPECT_EQ(controller.Completion().LastResultPage(), "<body>kept</body>");
}

// The fault: a result page over the cap sent nothing, opened neither done page and told nobody;
// a re-send then sent the transaction's earlier page, or another customer's.
TEST_F(TransactionCompletionTest, APageOverTheCapFailsAsAnUnreachableSeatDoes) {
    body = "<body>earlier</body>";
    Click("ButtonOnCommitSuccess", {{"ClientIP", "127.0.0.1"}, {"TransId", "T-1"}});
    WaitForSenders();
    ASSERT_TRUE(WaitForPages(1)) << seat.Pages().size() << " pages";
    PageValueMap tooLarge{{"ClientIP", "127.0.0.1"}, {"TransId", "T-1"}, {"PlatformId", "murvel"}};
    tooLarge.MarkBodyTooLarge();

    controller.OnPageClick("ButtonOnCommitSuccess", tooLarge);
    WaitForSenders();
    EXPECT_EQ(Navigations(), std::vector<std::string>{Done(false, "T-1")});

    window.ClearCalls();
    Click("ButtonReSend", {{"ClientIP", "127.0.0.1"}, {"TransId", "T-1"}});
    Click("ButtonReSend", {{"ClientIP", "127.0.0.1"}});
    Click("ButtonDisplay", {{"TransId", "T-1"}});
    WaitForSenders();
    EXPECT_EQ(seat.Pages().size(), 1u) << "a page in place of the one over the cap";
    const std::string told = "Message:" + std::string(texts::kResultPageTooLargeText) +
                             "|ZentrovaNubraConsole|" +
                             std::to_string(static_cast<int>(MessageIcon::Warning));
    EXPECT_EQ(window.Calls(), std::vector<std::string>(3, told));
}

TEST_F(TransactionCompletionTest, ReSendBeforeAnyCompletionSendsALoneTerminator) {
    Click("ButtonReSend", {{"ClientIP", "127.0.0.1"}});
    WaitForSenders();
    ASSERT_TRUE(WaitForPages(1)) << seat.Pages().size() << " pages";
    EXPECT_EQ(seat.Pages()[0], Bytes(std::string(1, '\0')));

    body = "<body>页</body>";
    Click("ButtonOnCommitSuccess", {{"ClientIP", "127.0.0.1"}});
    Click("ButtonReSend", {{"ClientIP", "127.0.0.1"}, {"PlatformId", "murvel"}});
    WaitForSenders();
    ASSERT_TRUE(WaitForPages(3)) << seat.Pages().size() << " pages";
    EXPECT_EQ(seat.Pages()[1], seat.Pages()[2]);
    EXPECT_TRUE(Navigations().empty()) << "a re-send never reports";
}

TEST_F(TransactionCompletionTest, ReSendAndDisplayUseTheResultOfTheOpenPagesTransaction) {
    for (const std::string id : {"T1", "T2"}) {
        body = "<body>goods of " + id + "</body>";
        Click("ButtonOnCommitSuccess", {{"ClientIP", "127.0.0.1"}, {"TransId", id}});
        WaitForSenders();
    }
    ASSERT_TRUE(WaitForPages(2)) << seat.Pages().size() << " pages";
    std::optional<std::string> shown;
    window.duringView = [&](const std::filesystem::path& path) {
        shown = zn::test::ReadFile(path);
    };

    Click("ButtonReSend", {{"ClientIP", "127.0.0.1"}, {"TransId", "T1"}});
    Click("ButtonDisplay", {{"TransId", "T1"}});
    WaitForSenders();
    ASSERT_TRUE(WaitForPages(3)) << seat.Pages().size() << " pages";
    EXPECT_EQ(seat.Pages()[2], Bytes(std::string("<body>goods of T1</body>") + '\0'))
        << "T1's failure page re-sends T1's receipt, not the later T2";
    EXPECT_EQ(shown, std::string("<body>goods of T1</body>") + '\0');

    Click("ButtonReSend", {{"ClientIP", "127.0.0.1"}});
    WaitForSenders();
    ASSERT_TRUE(WaitForPages(4)) << seat.Pages().size() << " pages";
    EXPECT_EQ(seat.Pages()[3], seat.Pages()[1]) << "a page without TransId: the last result";

    window.ClearCalls();
    shown.reset();
    Click("ButtonReSend", {{"ClientIP", "127.0.0.1"}, {"TransId", "T9"}});
    Click("ButtonDisplay", {{"TransId", "T9"}});
    WaitForSenders();
    EXPECT_EQ(seat.Pages().size(), 4u) << "no result of T9 was ever completed";
    EXPECT_FALSE(shown);
    const std::string told = "Message:" + std::string(texts::kNoResultPageText) +
                             "|ZentrovaNubraConsole|" +
                             std::to_string(static_cast<int>(MessageIcon::Warning));
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{told, told}));
}

TEST(ResultPagesTest, KeepsTheLatestPagesByIdWithinTheirBounds) {
    ResultPages pages;
    pages.Keep("A", "first A");
    pages.Keep("", "no id");
    pages.Keep("A", "second A");
    EXPECT_EQ(pages.Count(), 1u);
    EXPECT_EQ(*pages.Find("A"), "second A");
    EXPECT_EQ(pages.Last(), "second A");
    for (std::size_t i = 0; i < ResultPages::kMaxPages; ++i) {
        pages.Keep("T" + std::to_string(i), "page");
    }
    EXPECT_EQ(pages.Count(), ResultPages::kMaxPages);
    EXPECT_EQ(pages.Find("A"), nullptr) << "the oldest went first";
    EXPECT_NE(pages.Find("T0"), nullptr);

    const std::string large(ResultPages::kMaxBytes / 2, 'x');
    pages.Keep("L1", large);
    pages.Keep("L2", large);
    EXPECT_EQ(pages.Find("L1"), nullptr) << "over the byte budget";
    EXPECT_NE(pages.Find("L2"), nullptr);
}

TEST_F(TransactionCompletionTest, CancelChecksTheLockThenTheLoginThenSendsTheRejectPage) {
    window.passwords.push_back("pw");
    controller.OnCommand(texts::kCommandLock);
    window.ClearCalls();
    Click("ButtonCancelIt_Murvel", {{"ClientIP", "127.0.0.1"}});
    EXPECT_EQ(window.Calls(),
              std::vector<std::string>{"Message:取消交易前，请先解除服务端锁定！|服务端已锁定|3"})
        << "the lock is checked first, even when logged out";

    window.passwords.push_back("pw");
    controller.OnCommand(texts::kCommandLock);
    window.ClearCalls();
    Click("ButtonCancelIt_Murvel", {{"ClientIP", "127.0.0.1"}});
    EXPECT_EQ(window.Calls(),
              (std::vector<std::string>{"Message:错误：用户未登录！|ZentrovaNubraConsole|0",
                                        "Navigate:" + ConsoleSettings(registry).LoginPage()}));

    controller.Login().RecordLogin("c");
    Click("ButtonCancelIt_Murvel", {{"ClientIP", "127.0.0.1"}});
    WaitForSenders();
    EXPECT_TRUE(seat.Pages().empty()) << "no RejectTrans.html: nothing is sent";

    sandbox.WriteFile("RejectTrans.html", "<p>交易被拒绝</p>\n");
    Click("ButtonCancelIt_Murvel", {{"ClientIP", "127.0.0.1"}});
    WaitForSenders();
    ASSERT_TRUE(WaitForPages(1)) << seat.Pages().size() << " pages";
    EXPECT_EQ(seat.Pages()[0], Bytes(std::string("<p>交易被拒绝</p>\n") + '\0'))
        << "the file's bytes unchanged";
    EXPECT_EQ(progress.Closed(), 0) << "the reject sender shows no progress window";
}

// The fault: a locked console refused the cancellation, yet the back office, told by the page's
// own click handler, cancelled the order. Only a reject the console carried out opens the page on
// which the back office records it.
TEST_F(TransactionCompletionTest, OnlyACarriedOutRejectOpensTheCancelPage) {
    const std::string cancelPage = "http://127.0.0.1:1/wb/send_trans_cancel.jsp";
    registry.CreateKey(RegistryRoot::LocalMachine, kConsoleKeyPath)
        ->SetString("TransactionCancel_Murvel", cancelPage);
    const auto cancel = [&](const std::string& id, bool sent) {
        return "Navigate:" + cancelPage + "?transid=" + id + "&sent=" + (sent ? "1" : "0");
    };
    sandbox.WriteFile("RejectTrans.html", "<p>交易被拒绝</p>\n");
    window.passwords.push_back("pw");
    controller.OnCommand(texts::kCommandLock);
    controller.Login().RecordLogin("c");
    const std::initializer_list<std::pair<const std::string, std::string>> order{
        {"ClientIP", "127.0.0.1"}, {"TransId", "T-7"}, {"PlatformId", "murvel"}};
    Click("ButtonCancelIt_Murvel", order);
    WaitForSenders();
    EXPECT_TRUE(Navigations().empty()) << "a refused reject reported to the back office";
    EXPECT_TRUE(seat.Pages().empty());

    window.passwords.push_back("pw");
    controller.OnCommand(texts::kCommandLock);
    Click("ButtonCancelIt_Murvel", order);
    WaitForSenders();
    ASSERT_TRUE(WaitForPages(1));
    EXPECT_EQ(Navigations(), std::vector<std::string>{cancel("T-7", true)});

    // The seat is gone: the console still carried the reject out, and says the page did not
    // reach the seat.
    window.ClearCalls();
    SetRemotePort(ClosedPort());
    Click("ButtonCancelIt_Murvel", order);
    WaitForSenders();
    EXPECT_EQ(Navigations(), std::vector<std::string>{cancel("T-7", false)});

    // Pages of another platform get no report, as with a completion.
    window.ClearCalls();
    Click("ButtonCancelIt_Murvel", {{"ClientIP", "127.0.0.1"}, {"TransId", "T-8"}});
    WaitForSenders();
    EXPECT_TRUE(Navigations().empty());
}

// The fault: every reject took the cashier's browser to a cancel page that an operator's back
// office does not have, up to 40 s after the click; an empty setting went to a relative address.
TEST_F(TransactionCompletionTest, ARejectOpensNoCancelPageUnlessOneIsSet) {
    controller.Login().RecordLogin("c");
    const std::initializer_list<std::pair<const std::string, std::string>> order{
        {"ClientIP", "127.0.0.1"}, {"TransId", "T-9"}, {"PlatformId", "murvel"}};
    Click("ButtonCancelIt_Murvel", order);
    WaitForSenders();
    EXPECT_TRUE(Navigations().empty()) << "no TransactionCancel_Murvel";

    registry.CreateKey(RegistryRoot::LocalMachine, kConsoleKeyPath)
        ->SetString("TransactionCancel_Murvel", "");
    Click("ButtonCancelIt_Murvel", order);
    WaitForSenders();
    EXPECT_TRUE(Navigations().empty()) << "an empty TransactionCancel_Murvel";
}

TEST_F(TransactionCompletionTest, DisplayWritesOldPageForTheViewAndDeletesItAfterwards) {
    const auto file = sandbox.Path() / kOldPageFileName;
    std::optional<std::string> seen;
    window.duringView = [&](const std::filesystem::path& path) {
        EXPECT_EQ(path, file);
        seen = zn::test::ReadFile(path);
    };
    Click("ButtonDisplay", {});
    EXPECT_EQ(seen, std::string(1, '\0')) << "before any completion: an empty page";
    EXPECT_FALSE(std::filesystem::exists(file));

    body = "<body>\n成功\n</body>";
    Click("ButtonOnCommitSuccess", {{"ClientIP", "127.0.0.1"}});
    Click("ButtonDisplay", {});
    EXPECT_EQ(seen, "<body>\r\n" + TextCodec::Utf8ToGb2312("成功") + "\r\n</body>" + '\0');
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(window.CallsStartingWith("TransactionView:").size(), 2u);
}

TEST_F(TransactionCompletionTest, ViewSeatNeedsAnAddressAndShowsUnknownSeats) {
    Click("ButtonViewSeat", {});
    EXPECT_EQ(window.Calls(),
              std::vector<std::string>{"Message:错误：无法获得客户机IP！|ZentrovaNubraConsole|0"});

    sandbox.WriteFile("SeatList.xml",
                      "<SeatList><Seat IP=\"10.0.0.5\">A1</Seat><Seat IP=\"10.0.0.6\"></Seat>"
                      "</SeatList>");
    Click("ButtonViewSeat", {{"ClientIP", "10.0.0.5"}});
    EXPECT_EQ(window.Calls().back(), "SeatViewer:10.0.0.5");
    ASSERT_TRUE(window.seatLookUp);
    EXPECT_EQ(window.seatLookUp("10.0.0.5"), "A1");
    EXPECT_EQ(window.seatLookUp("10.0.0.6"), "未知") << "an empty seat number";
    EXPECT_EQ(window.seatLookUp("10.0.0.\"7"), "未知") << "an address that breaks the query";
}

TEST(NotifierThreadTest, AnnouncementsFromManyThreadsAreAllRunOnTheUiThread) {
    test::FakeNotifierWidget widget;
    CTaskbarNotifier notifier(widget, {});
    notifier.SetSkinSize(148, 120);
    int announced = 0;  // on the UI thread only
    notifier.SetAnnouncementObserver([&](const std::string&) { ++announced; });
    std::vector<std::thread> workers;
    for (int i = 0; i < 8; ++i) {
        workers.emplace_back([&notifier, i] {
            notifier.ShowTextFromAnyThread("text " + std::to_string(i), 500, 8000, 500, 3);
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(notifier.State(), NotifierState::Idle) << "nothing runs off the UI thread";
    widget.RunPosted();
    EXPECT_EQ(notifier.State(), NotifierState::Appearing);
    EXPECT_EQ(announced, 8);
    EXPECT_EQ(widget.topmostCalls, 1) << "one batch, drawn once";
}

}  // namespace
}  // namespace zn::console
