#include "console/ConsoleWindowController.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "ConsoleFakes.h"
#include "ConsoleWindowFakes.h"
#include "LogCapture.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "console/ConsoleSettings.h"
#include "console/ConsoleTexts.h"
#include "console/PageEvents.h"
#include "console/QueryValue.h"
#include "console/RequestWorker.h"
#include "console/SingleInstance.h"
#include "net/SocketAddress.h"
#include "net/TcpSocket.h"
#include "platform/Registry.h"
#include "platform/WindowDirectory.h"

namespace zn::console {
namespace {

using test::FakeConsoleWindow;

class CountingSelfUpdate final : public ISelfUpdate {
public:
    void RunHourlyWork() override { ++runs; }
    int runs = 0;
};

class ConsoleWindowControllerTest : public ::testing::Test {
protected:
    ConsoleWindowControllerTest() {
        registry.CreateKey(RegistryRoot::LocalMachine, kConsoleKeyPath);
    }
    std::string LoginPage() const { return ConsoleSettings(registry).LoginPage(); }
    void Click(const std::string& id, const PageValueMap& values = {}) {
        controller.OnPageClick(id, values);
    }
    void SetText(std::string_view name, std::string_view value) {
        registry.OpenKey(RegistryRoot::LocalMachine, kConsoleKeyPath)->SetString(name, value);
    }

    zn::test::Sandbox sandbox;
    Registry registry{sandbox.RegistryFolder()};
    WindowDirectory windows{sandbox.RuntimeFolder()};
    test::FakeSoundPlayer sound;
    test::FakeProgramStarter programs;
    FakeConsoleWindow window;
    test::FakeNotifierWidget popup;
    test::FakeProgress progress;
    CountingSelfUpdate selfUpdate;
    ConsoleWindowController controller{
        ConsoleEnvironment{registry, windows, sound, programs, sandbox.Path(), ServicePorts{}},
        window, popup, progress, &selfUpdate};
};

TEST_F(ConsoleWindowControllerTest, StartOpensTheLoginPageSetsUpThePopupTheTimerAndTheServices) {
    controller.ShowText("before the popup exists", 500, 8000, 500, 3);
    popup.RunPosted();
    EXPECT_EQ(controller.Notifier().State(), NotifierState::Idle) << "announced too early";

    controller.Start(std::pair{148, 120});
    const auto calls = window.Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0], "Navigate:" + LoginPage());
    EXPECT_EQ(calls[1], "Timer:1171/3600000");
    EXPECT_EQ(calls[2], "Timer:1173/5000") << "reminders are checked every 5 s";
    EXPECT_EQ(calls[3], "AddTrayIcon");
    EXPECT_EQ(calls[4], "OpenOrders:墨维网吧收银台|今日订单");
    EXPECT_EQ(controller.Notifier().Paint().textArea, (NotifierRect{10, 40, 138, 120}));
    EXPECT_NE(controller.ListenerPort(), 0);
    EXPECT_NE(controller.DiscoveryPort(), 0);

    controller.OnTimer(kUpdateTimerId);
    controller.OnTimer(1);
    EXPECT_EQ(selfUpdate.runs, 1);
}

TEST_F(ConsoleWindowControllerTest,
       WithoutATrayItSaysSoOnceWithoutBlockingAndTheCloseBoxMinimises) {
    window.hasTray = false;
    controller.Start(std::nullopt);
    EXPECT_EQ(window.CallsStartingWith("Notice:"),
              std::vector<std::string>{"Notice:" + std::string(texts::kNoTrayText) + "|" +
                                       std::string(texts::kNoTrayCaption) + "|1"});
    EXPECT_TRUE(window.CallsStartingWith("Message:").empty()) << "a modal box blocks the popup";
    window.ClearCalls();
    EXPECT_FALSE(controller.OnCloseRequested());
    EXPECT_EQ(window.Calls(), std::vector<std::string>{"Minimize"});
}

TEST_F(ConsoleWindowControllerTest, TheCloseBoxHidesAndShowsTheBalloon) {
    EXPECT_FALSE(controller.OnCloseRequested());
    EXPECT_EQ(window.Calls(),
              (std::vector<std::string>{"Hide",
                                        "Balloon:收银台还在这里运行|右键点击图标来使用功能菜单"}));
}

TEST_F(ConsoleWindowControllerTest, EnterAndEscapeDoNothingUntilExitIsConfirmed) {
    controller.OnCommand(kCommandOk);
    controller.OnCommand(kCommandCancel);
    EXPECT_TRUE(window.Calls().empty());
}

TEST_F(ConsoleWindowControllerTest, ExitNeedsConfirmationAndThenRemovesTheTrayIcon) {
    controller.Login().RecordLogin("c1");
    window.answers.push_back(MessageAnswer::Cancel);
    controller.OnCommand(texts::kCommandExit);
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{
                                  "Raise", "Message:" + std::string(texts::kExitConfirmText) + "|" +
                                               std::string(texts::kExitConfirmCaption) + "|0"}));
    EXPECT_TRUE(controller.Login().IsLoggedIn());
    EXPECT_FALSE(controller.IsExiting());

    window.ClearCalls();
    controller.OnCommand(texts::kCommandExit);
    EXPECT_FALSE(controller.Login().IsLoggedIn());
    EXPECT_TRUE(controller.IsExiting());
    EXPECT_EQ(window.Calls().back(), "CloseWindow");
    window.ClearCalls();
    EXPECT_TRUE(controller.OnCloseRequested());
    EXPECT_EQ(window.Calls(), std::vector<std::string>{"RemoveTrayIcon"});
}

TEST_F(ConsoleWindowControllerTest, ShowCommandAndTrayClickShowAndRaiseWhileUnlocked) {
    controller.OnCommand(texts::kCommandShow);
    controller.OnTrayLeftClick();
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"Show", "Raise", "Show", "Raise"}));
}

TEST_F(ConsoleWindowControllerTest, ThePopupClickShowsMaximisedEvenWhileLocked) {
    window.passwords.push_back("pw");
    controller.OnCommand(texts::kCommandLock);
    window.ClearCalls();
    controller.Notifier().OnClick();
    popup.RunPosted();
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"ShowMaximized", "Raise"}));
}

TEST_F(ConsoleWindowControllerTest, TheDaysMessagesOpenFromAMessagePopupOrTheTrayMenu) {
    controller.KeepCustomerMessage("A1", "10.0.0.5", "第一条");
    controller.KeepCustomerMessage("A2", "10.0.0.6", "第二条\n还有一行");
    const std::string all = "Messages:[A2|10.0.0.6|第二条\n还有一行][A1|10.0.0.5|第一条]";

    controller.Notifier().ShowText(MessagePopupText("10.0.0.6", "A2", "第二条"), 500, 40000, 500,
                                   3);
    window.ClearCalls();
    controller.OnNotifierClicked();
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"ShowMaximized", "Raise", all}));

    controller.Notifier().ShowText("收到来自客户 10.0.0.5[座号：A1] 的商品购买请求！", 500, 8000,
                                   500, 3);
    window.ClearCalls();
    controller.OnNotifierClicked();
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"ShowMaximized", "Raise"}))
        << "an order's popup only shows the console";

    window.ClearCalls();
    controller.OnCommand(texts::kCommandMessages);
    EXPECT_EQ(window.Calls(), std::vector<std::string>{all});
}

// One order completed without reaching its seat, the other reminded while the console is locked:
// the popup, the sound and the listener, but no page until the reminder's popup is clicked.
TEST_F(ConsoleWindowControllerTest, OpenOrdersAreCountedAndRemindedUntilTheBackOfficeHandlesThem) {
    std::mutex mutex;
    std::vector<std::pair<std::uint32_t, std::vector<std::byte>>> heard;
    auto hook = PublishedWindow::Publish(windows, "Cashier", "Pager",
                                         [&](std::uint32_t number, std::vector<std::byte> data) {
                                             std::lock_guard lock(mutex);
                                             heard.emplace_back(number, std::move(data));
                                         });
    ASSERT_TRUE(hook);
    registry.CreateKey(RegistryRoot::LocalMachine, kListenerKeyPath)->SetString("Cashier", "Pager");
    auto key = registry.OpenKey(RegistryRoot::LocalMachine, kConsoleKeyPath);
    key->SetDword("ReminderMinutes", 2);
    key->SetDword("ReminderCount", 1);
    key->SetDword("RemotePort", 1);  // nothing listens: a completion is not delivered
    SetText("ViewTransPage_Murvel", "http://bo/view.jsp");
    constexpr std::chrono::milliseconds kUnit{40};
    ConsoleEnvironment environment{registry, windows,        sound,
                                   programs, sandbox.Path(), ServicePorts{}};
    environment.orderBookFile = sandbox.Path() / "orders.txt";
    environment.reminderUnit = kUnit;
    ConsoleWindowController console(environment, window, popup, progress);
    console.Start(std::pair{148, 120});
    std::vector<std::string> popups;
    console.Notifier().SetAnnouncementObserver(
        [&](const std::string& text) { popups.push_back(text); });
    console.Login().RecordLogin("c1");

    std::thread worker([&] {
        console.KeepOrder("464158", "A08", "127.0.0.1");
        console.KeepOrder("464159", "A08", "127.0.0.1");
    });
    worker.join();
    window.ClearCalls();
    window.RunPosted();
    EXPECT_EQ(window.CallsStartingWith("OpenOrders:"),
              std::vector<std::string>{
                  "OpenOrders:墨维网吧收银台\n2 笔订单待处理|今日订单（2 笔待处理）"});

    console.OnPageClick(
        "ButtonOnCommitSuccess",
        PageValueMap({{"ClientIP", "127.0.0.1"}, {"TransId", "464159"}}, "<body>交易成功</body>"));
    console.Completion().WaitForSenders();
    window.RunPosted();
    EXPECT_EQ(OrderBook(environment.orderBookFile).Today().size(), 2u)
        << "the UI thread kept the orders for a restart";
    console.OnCommand(texts::kCommandOrders);
    ASSERT_EQ(window.orderRows.size(), 2u);
    EXPECT_EQ(window.orderRows[0].serial, "464159");
    EXPECT_TRUE(window.orderRows[0].state.starts_with("已完成，未送达客户机"))
        << "the seat was gone";
    EXPECT_TRUE(window.orderRows[1].open);

    window.passwords.push_back("pw");
    console.OnCommand(texts::kCommandLock);
    window.ClearCalls();
    std::this_thread::sleep_for(2 * kUnit);
    console.OnTimer(kReminderTimerId);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_TRUE(popups[0].starts_with("座号：A08 的订单 464158 已等待 ") &&
                popups[0].ends_with(" 分钟，尚未处理！"))
        << popups[0];
    EXPECT_TRUE(window.CallsStartingWith("Navigate:").empty()) << "a reminder opened a page";
    ASSERT_TRUE(zn::test::WaitFor([&] { return sound.Played().size() == 1; }));
    ASSERT_TRUE(zn::test::WaitFor([&] {
        std::lock_guard lock(mutex);
        return heard.size() == 1;
    }));
    EXPECT_EQ(heard[0].first, 10001u);
    const std::vector<std::byte>& data = heard[0].second;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data()), data.size()),
              std::string("O464158") + '\0')
        << "as the order's";

    std::this_thread::sleep_for(2 * kUnit);
    console.OnTimer(kReminderTimerId);
    EXPECT_EQ(popups.size(), 1u) << "ReminderCount 1";

    window.passwords.push_back("pw");
    window.ClearCalls();
    console.OnNotifierClicked();
    EXPECT_EQ(window.CallsStartingWith("Navigate:"),
              std::vector<std::string>{"Navigate:http://bo/view.jsp?transid=464158"})
        << "the reminder's popup opens its order once the lock's password is given";
}

// A result page over the cap reaches no seat: the order is handled, but not delivered.
TEST_F(ConsoleWindowControllerTest, AnOrderWhosePageIsOverTheCapIsRecordedAsNotDelivered) {
    ConsoleEnvironment environment{registry, windows,        sound,
                                   programs, sandbox.Path(), ServicePorts{}};
    environment.orderBookFile = sandbox.Path() / "orders.txt";
    ConsoleWindowController console(environment, window, popup, progress);
    console.Start(std::pair{148, 120});
    console.Login().RecordLogin("c1");
    console.KeepOrder("464158", "A08", "127.0.0.1");
    PageValueMap tooLarge{{"ClientIP", "127.0.0.1"}, {"TransId", "464158"}};
    tooLarge.MarkBodyTooLarge();

    console.OnPageClick("ButtonOnCommitSuccess", tooLarge);
    console.Completion().WaitForSenders();
    console.OnCommand(texts::kCommandOrders);
    ASSERT_EQ(window.orderRows.size(), 1u);
    EXPECT_FALSE(window.orderRows[0].open);
    EXPECT_TRUE(window.orderRows[0].state.starts_with("已完成，未送达客户机"))
        << window.orderRows[0].state;
}

TEST_F(ConsoleWindowControllerTest, NoActionAndUnknownIdsDoNothing) {
    const PageValueMap values{{"PlatformId", "murvel"}, {"CustomerId", "c"}, {"ClientIP", "x"}};
    for (const auto& event : kPageEventTable) {
        if (event.action == PageAction::None) {
            Click(std::string(event.id), values);
        }
    }
    Click("Unknown", values);
    Click("buttonlogin", values);
    Click("", values);
    EXPECT_TRUE(window.Calls().empty());
    EXPECT_FALSE(controller.Login().IsLoggedIn());
    EXPECT_EQ(controller.Completion().RunningSenders(), 0u);
}

TEST_F(ConsoleWindowControllerTest, LaunchClientStartsTheLauncherAndMinimisesEvenOnFailure) {
    programs.succeeds = false;
    Click("LaunchClient");
    EXPECT_EQ(programs.started, (std::vector<std::filesystem::path>{sandbox.Path() / "Content" /
                                                                    "LaunchNubraClient"}));
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"Minimize"}));
}

TEST_F(ConsoleWindowControllerTest, PendingNavigationsFromWorkersAreEachNavigatedOnceInOrder) {
    controller.OnPendingNavigation();
    EXPECT_TRUE(window.Calls().empty()) << "an empty pending address does nothing";
    std::thread worker([this] {
        controller.Navigation().RequestNavigation("http://a/?transid=1");
        controller.Navigation().RequestNavigation("http://a/?transid=2");
    });
    worker.join();  // returned without the UI thread running anything
    EXPECT_TRUE(window.Calls().empty());
    window.RunPosted();
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"Navigate:http://a/?transid=1",
                                                        "Navigate:http://a/?transid=2"}));
    controller.OnPendingNavigation();
    EXPECT_EQ(window.Calls().size(), 2u);
}

// The fault: clicks counted only from the configured pages' exact origins, and a refusal was only
// logged: a back office behind a redirect did nothing, and nobody at the counter knew why.
TEST_F(ConsoleWindowControllerTest, ClicksCountFromTheSitesOfTheSetPagesAndARefusalIsTold) {
    EXPECT_TRUE(controller.ClickOrigins().followRedirects);
    EXPECT_EQ(controller.ClickOrigins().sites.size(), 5u) << "no cancel page is set";
    SetText("TransactionCancel_Murvel", "http://bo.test/cancel.jsp");
    EXPECT_EQ(controller.ClickOrigins().sites.back(), "http://bo.test/cancel.jsp");

    controller.OnClickRefused("http://evil.test/x.jsp");
    EXPECT_EQ(window.Calls(),
              std::vector<std::string>{
                  "Message:" + std::string(texts::kClickRefusedText[0]) + "http://evil.test/x.jsp" +
                  std::string(texts::kClickRefusedText[1]) + "|ZentrovaNubraConsole|" +
                  std::to_string(static_cast<int>(MessageIcon::Warning))});
}

TEST_F(ConsoleWindowControllerTest, APortInUseIsToldOnceWithItsNumberAndLogged) {
    const zn::test::LogCapture log;
    CTcpSocket taken;
    ASSERT_TRUE(taken.Create(0) && taken.Listen());
    const auto port = static_cast<std::uint16_t>(ntohs(taken.Local().sin_port));
    ConsoleWindowController blocked{ConsoleEnvironment{registry, windows, sound, programs,
                                                       sandbox.Path(), ServicePorts{port, 0}},
                                    window, popup, progress};

    blocked.Start(std::pair{148, 120});

    const std::string text =
        "无法打开端口 " + std::to_string(port) +
        "，收银台收不到客户机的购买请求！请关闭占用该端口的程序后重新启动收银台。";
    const auto calls = window.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Message:" + text + "|端口被占用|3"), 1)
        << ::testing::PrintToString(calls);
    EXPECT_TRUE(log.Contains({"port " + std::to_string(port), "cannot be opened"}));
    EXPECT_NE(blocked.DiscoveryPort(), 0) << "the other service still runs";
}

TEST_F(ConsoleWindowControllerTest, ShutdownEndsTheServiceAndReleasesWaitingWorkers) {
    controller.Start(std::pair{148, 120});
    const auto console = CSocketAddress::FromDotted("127.0.0.1", controller.ListenerPort());
    EXPECT_TRUE(controller.Shutdown(std::chrono::steady_clock::now() + std::chrono::seconds(1)));
    CTcpSocket seat;
    ASSERT_TRUE(console && seat.Create(0));
    EXPECT_FALSE(seat.Connect(&*console)) << "still listening";
    window.ClearCalls();
    controller.Navigation().RequestNavigation("http://a/?transid=1");  // must not wait
    window.RunPosted();
    EXPECT_TRUE(window.Calls().empty()) << "navigated after the end";
}

TEST_F(ConsoleWindowControllerTest, WorkerAnnouncementsReachTheUiThreadOnlyThroughPosts) {
    controller.Start(std::pair{148, 120});
    window.ClearCalls();
    std::thread worker([this] {
        controller.ShowText("收到", 500, 8000, 500, 3);
        controller.ShowMaximizedAndRaise();
    });
    worker.join();
    EXPECT_EQ(controller.Notifier().State(), NotifierState::Idle);
    EXPECT_TRUE(window.Calls().empty());
    popup.RunPosted();
    window.RunPosted();
    EXPECT_EQ(controller.Notifier().State(), NotifierState::Appearing);
    EXPECT_EQ(controller.Notifier().Paint().text, "收到");
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"ShowMaximized", "Raise"}));
}

TEST(SingleInstanceTest, TheThreeCaptionsAreLookedForInOrderWithTheirOwners) {
    EXPECT_EQ(FindRunningConsole([](std::string_view) { return false; }), std::nullopt);
    EXPECT_EQ(FindRunningConsole(
                  [](std::string_view c) { return c == "墨维澄元在线网吧充值系统服务台"; }),
              std::nullopt)
        << "the template caption is not a running console";

    std::vector<std::string> asked;
    const auto second = FindRunningConsole([&](std::string_view c) {
        asked.emplace_back(c);
        return c == "墨维网吧收银台";
    });
    ASSERT_TRUE(second);
    EXPECT_EQ(asked, (std::vector<std::string>{"欢迎使用墨维登陆器", "墨维网吧收银台"}));
    EXPECT_EQ(second->text, "收银台已打开，请您右键点击电脑屏幕右下脚QZ图标！");
    EXPECT_EQ(second->caption, "提示");
    EXPECT_EQ(second->icon, MessageIcon::Information);
    EXPECT_EQ(second->ownerCaption, std::nullopt);

    const auto third =
        FindRunningConsole([](std::string_view c) { return c == "墨维网吧收银台——订单处理"; });
    ASSERT_TRUE(third);
    EXPECT_EQ(third->ownerCaption, "墨维网吧收银台——订单处理");
    const auto first = FindRunningConsole([](std::string_view) { return true; });
    EXPECT_EQ(first->ownerCaption, "欢迎使用墨维登陆器");
}

// Back office and login.

TEST_F(ConsoleWindowControllerTest, InitSetsTheCaptionFromThePageAndLoadsWriteTheAddressText) {
    // A login page that clicks "Init" while it loads hears of the load first.
    controller.OnPageLoaded("http://bo/login");
    Click("Init", {{"title", "墨维网吧收银台"}});
    const std::string mac = controller.BackOfficePages().MacText();
    EXPECT_TRUE(mac.empty() || mac.size() == 12u);
    EXPECT_EQ(window.Calls(),
              (std::vector<std::string>{"Set:salemac_input=", "Caption:墨维网吧收银台",
                                        "Set:salemac_input=" + mac}))
        << "the address text must reach the page after Init";
    window.ClearCalls();
    controller.OnPageLoaded("http://elsewhere/");
    EXPECT_EQ(window.Calls(), std::vector<std::string>{"Set:salemac_input=" + mac});
}

TEST_F(ConsoleWindowControllerTest, LoginSubmissionChecksTheGateAndTheFields) {
    Click("ButtonOK", {{"PlatformId", "Murvel"}, {"username_input", "u"}});
    EXPECT_TRUE(window.Calls().empty()) << "the gate is case-sensitive";

    Click("ButtonOK", {{"PlatformId", "murvel"}, {"password_input", "p"}});
    Click("ButtonOK", {{"PlatformId", "murvel"}, {"username_input", "u"}});
    EXPECT_EQ(window.Calls(),
              (std::vector<std::string>{"Message:错误：用户名不能为空！|ZentrovaNubraConsole|0",
                                        "Message:错误：密码不能为空！|ZentrovaNubraConsole|0"}));

    window.ClearCalls();
    SetText("MainPage_Murvel", "http://bo/main.jsp");
    Click("ButtonOK", {{"PlatformId", "murvel"},
                       {"username_input", "张三"},
                       {"password_input", "a&b#c"},
                       {"personnel_input", ""}});
    EXPECT_EQ(window.Calls(), std::vector<std::string>{"Navigate:http://bo/main.jsp?wbar=2"
                                                       "&saleusername=%D5%C5%C8%FD"
                                                       "&saleempname=&salepsw=a%26b%23c&salemac=" +
                                                       controller.BackOfficePages().MacText()});
}

TEST(LoginQueryTest, BytesThatChangeTheQueryAndChineseTextInCodePage936AreEncoded) {
    EXPECT_EQ(EncodeQueryValue("plain-Text_1.~"), "plain-Text_1.~");
    EXPECT_EQ(EncodeQueryValue("张三"), "%D5%C5%C8%FD");
    EXPECT_EQ(EncodeQueryValue("小王·收银"), "%D0%A1%CD%F5%A1%A4%CA%D5%D2%F8");
    EXPECT_EQ(EncodeQueryValue("\xF0\x9F\x98\x80!"), "?!") << "GBK has no emoji";
    EXPECT_EQ(EncodeQueryValue("a&b#c+d e%f"), "a%26b%23c%2Bd%20e%25f");
    EXPECT_EQ(EncodeQueryValue("x=y?z/"), "x=y?z/") << "harmless inside a value";
    EXPECT_EQ(EncodeQueryValue("a\r\nb\x7f"), "a%0D%0Ab%7F");
    EXPECT_EQ(BuildLoginQuery("u", "e", "p", "0011AABBCCDD"),
              "?wbar=2&saleusername=u&saleempname=e&salepsw=p&salemac=0011AABBCCDD");
}

TEST_F(ConsoleWindowControllerTest, LoginConfirmationNeedsTheGateAndKeepsTheLastCustomer) {
    Click("ButtonLogin", {{"CustomerId", "c0"}});
    EXPECT_FALSE(controller.Login().IsLoggedIn());
    Click("ButtonLogin", {{"PlatformId", "murvel"}, {"CustomerId", "c1"}});
    Click("ButtonLogin", {{"PlatformId", "murvel"}, {"CustomerId", "c2"}});
    EXPECT_EQ(controller.Login().Snapshot().customerId, "c2");
    EXPECT_EQ(window.Calls(), std::vector<std::string>(3, "ShowMaximized"));

    window.ClearCalls();
    Click("ButtonLogout");
    EXPECT_EQ(window.Calls(), std::vector<std::string>{"ShowNormal"});
    EXPECT_TRUE(controller.Login().IsLoggedIn());
}

TEST_F(ConsoleWindowControllerTest, TheIntegrityCheckLooksOnlyAtTheExactLoginPageAddress) {
    const std::string warning = "Message:" + std::string(texts::kSecurityWarningText) + "|" +
                                std::string(texts::kSecurityWarningCaption) + "|0";
    SetText("LoginPage", "http://bo/wb/loginsyt.jsp");
    window.document = "<html><body><IFRAME src='http://bo/x'></IFRAME></body></html>";
    controller.OnPageLoaded("http://bo/wb/LOGINSYT.jsp");
    controller.OnPageLoaded("http://bo/wb/loginsyt.jsp?");
    EXPECT_TRUE(window.CallsStartingWith("Message:").empty());
    controller.OnPageLoaded("http://bo/wb/loginsyt.jsp");
    controller.OnPageLoaded("http://bo/wb/loginsyt.jsp");
    EXPECT_EQ(window.CallsStartingWith("Message:"), std::vector<std::string>(2, warning))
        << "every load of the login page is examined";

    window.ClearCalls();
    window.document = "<html><body><script src='http://Evil.Example/x.js'></script></body>";
    controller.OnPageLoaded("http://bo/wb/loginsyt.jsp");
    EXPECT_TRUE(window.CallsStartingWith("Message:").empty()) << "no foreign domain configured";
    SetText("ForeignDomain", "evil.EXAMPLE");
    controller.OnPageLoaded("http://bo/wb/loginsyt.jsp");
    EXPECT_EQ(window.CallsStartingWith("Message:"), std::vector<std::string>{warning});

    window.ClearCalls();
    window.document = "<html><body>clean</body></html>";
    controller.OnPageLoaded("http://bo/wb/loginsyt.jsp");
    window.document = std::nullopt;
    controller.OnPageLoaded("http://bo/wb/loginsyt.jsp");
    EXPECT_TRUE(window.CallsStartingWith("Message:").empty());
}

// The address's percent-encoded bytes as they are.
std::string PercentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            decoded +=
                static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

TEST_F(ConsoleWindowControllerTest,
       ALoginPageThatCannotBeLoadedIsNotExaminedButShownAsDownAndRetried) {
    zn::test::LogCapture log;
    SetText("LoginPage", "http://bo/wb/loginsyt.jsp");
    // What the browser's error page holds is no evidence of injected code.
    window.document = "<html><body><iframe></iframe></body></html>";
    controller.OnPageLoadFailed("http://bo/wb/other.jsp");
    EXPECT_TRUE(window.Calls().empty()) << "only the login page is retried";

    controller.OnPageLoadFailed("http://bo/wb/loginsyt.jsp");
    const auto calls = window.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].starts_with("Navigate:data:text/html;charset=utf-8,")) << calls[0];
    EXPECT_NE(PercentDecoded(calls[0]).find(texts::kLoginPageDownText), std::string::npos);
    EXPECT_EQ(calls[1], "Timer:" + std::to_string(kLoginPageRetryTimerId) + "/30000");
    EXPECT_TRUE(log.Contains({"login page", "http://bo/wb/loginsyt.jsp", "cannot be loaded"}));

    // The local page loads, then the retry fails once more and succeeds at the next.
    window.ClearCalls();
    controller.OnPageLoaded(calls[0].substr(9));
    controller.OnTimer(kLoginPageRetryTimerId);
    EXPECT_EQ(window.CallsStartingWith("Navigate:"),
              std::vector<std::string>{"Navigate:http://bo/wb/loginsyt.jsp"});
    controller.OnPageLoadFailed("http://bo/wb/loginsyt.jsp");
    controller.OnTimer(kLoginPageRetryTimerId);
    window.document = "<html><body>login</body></html>";
    controller.OnPageLoaded("http://bo/wb/loginsyt.jsp");
    window.ClearCalls();
    controller.OnTimer(kLoginPageRetryTimerId);
    EXPECT_TRUE(window.Calls().empty()) << "a login page that loaded is not tried again";
}

}  // namespace
}  // namespace zn::console
