// The real ZentrovaNubraConsole, offscreen, against the local web host and a seat played by the
// test over loopback, checked through the wire, its files and its dialog log.
#include <gtest/gtest.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ConsoleHarness.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "console/ConsoleSettings.h"
#include "console/ConsoleTexts.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "platform/WindowDirectory.h"

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

// Start-up of the browser included; generous for a loaded machine.
constexpr auto kLimit = 15s;

constexpr std::string_view kLoginPath = "/wb/loginsyt.jsp";
constexpr std::string_view kTransactionPath = "/jsp/empManage/noProcessInfo.jsp";
constexpr std::string_view kSuccessPath = "/wb/send_trans_success.jsp";
constexpr std::string_view kFailurePath = "/wb/send_trans_fail.jsp";
constexpr std::string_view kCancelPath = "/wb/send_trans_cancel.jsp";
constexpr std::string_view kBackOfficeCaption = "墨维网吧收银台";

constexpr std::string_view kNoticePage = "<html><body>notice: order received</body></html>";
constexpr std::string_view kRejectPage = "<html><body>order rejected</body></html>";

// What the cashier does in the login page: the demo account, then "登录".
constexpr std::string_view kLogInAsDemo =
    "document.getElementById('username_input').value = 'demo';"
    "document.getElementById('password_input').value = '1234';"
    "document.getElementById('personnel_input').value = '小王';"
    "document.getElementById('ButtonOK').click();";

std::string Click(std::string_view id) {
    return "document.getElementById('" + std::string(id) + "').click();";
}

std::string Text(std::string_view text) {
    return std::string(text);
}

class ConsoleE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(m_seat.FeedbackPort(), 0) << "the seat cannot listen";
        m_ports = {FreePort(), m_seat.FeedbackPort(), FreeUdpPort()};
        ASSERT_NE(m_ports.local, 0);
        ASSERT_NE(m_ports.broadcast, 0);
        WriteConsoleSettings(m_front, m_ports);
        m_sandbox.WriteFile("console/SeatList.xml",
                            "<SeatList><Seat IP=\"127.0.0.1\">A8</Seat></SeatList>");
        m_sandbox.WriteFile("console/RequestReceived.html", kNoticePage);
        m_sandbox.WriteFile("console/RejectTrans.html", kRejectPage);
    }

    void TearDown() override {
        if (HasFailure()) {
            // What the console said and asked, for the failure's report.
            std::cerr << "--- console output\n"
                      << zn::test::ReadFile(Folder() / "console-output.txt").value_or("") << "\n"
                      << "--- dialog log\n"
                      << zn::test::ReadFile(Log()).value_or("") << "--- pages served\n";
            for (const std::string& page : m_front.ServedPages()) {
                std::cerr << page << "\n";
            }
        }
    }

    std::filesystem::path Folder() const { return m_sandbox.Path() / "console"; }
    std::filesystem::path Log() const { return m_sandbox.Path() / "dialogs.jsonl"; }

    // Offscreen there is no tray: every start answers the notice that says so first.
    void Start(std::string_view answers = {}, ConsoleProgram program = ConsoleProgram::Product,
               std::vector<std::string> arguments = {}) {
        m_console = std::make_unique<ConsoleProcess>(m_sandbox, Folder(), Log(),
                                                     "ok," + std::string(answers), program,
                                                     std::move(arguments));
        ASSERT_TRUE(m_console->Started()) << "the console did not start";
    }

    void LogIn() {
        ASSERT_TRUE(m_front.WaitForPage(kLoginPath, kLimit)) << "no login page was opened";
        m_front.Queue(Text(kLoginPath), Text(kLogInAsDemo));
        ASSERT_TRUE(m_front.WaitForPage(Text(kLoginPath) + "?wbar=2&saleusername=demo&saleempname=",
                                        kLimit))
            << "the login was not submitted";
    }

    // The seat greets once admitted and orders; the console opens the transaction page.
    void Order() {
        const auto greeting = m_seat.GreetWhenAdmitted(m_ports.local, kLimit);
        ASSERT_TRUE(greeting.has_value()) << "the console never admitted the seat";
        m_serial = m_front.CreateOrder("A8");
        ASSERT_FALSE(m_serial.empty()) << "the web host took no order";
        ASSERT_TRUE(m_seat.Order(m_serial));
        ASSERT_TRUE(m_front.WaitForPage(TransactionPage(), kLimit))
            << "the transaction page was not opened";
    }

    std::string TransactionPage() const { return Text(kTransactionPath) + "?transid=" + m_serial; }

    zn::test::Sandbox m_sandbox;
    BackOfficeFront m_front;
    ScriptedSeat m_seat;
    ConsolePorts m_ports;
    std::string m_serial;
    std::unique_ptr<ConsoleProcess> m_console;  // last: killed first
};

TEST_F(ConsoleE2eTest, LoginThroughTheFormAdmitsSeatsWithTheCustomerIdInTheGreeting) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(m_front.WaitForPage(kLoginPath, kLimit));
    EXPECT_FALSE(m_seat.Greet(m_ports.local).has_value()) << "a seat was admitted before login";

    ASSERT_NO_FATAL_FAILURE(LogIn());
    const auto greeting = m_seat.GreetWhenAdmitted(m_ports.local, kLimit);
    ASSERT_TRUE(greeting.has_value()) << "the console never admitted the seat";
    EXPECT_EQ(*greeting, "&cid_murvel=12&seat=A8");
    EXPECT_TRUE(WaitForCaption(m_sandbox, kBackOfficeCaption, kLimit));

    EXPECT_EQ(CountDialogLines(Log(), {"\"kind\":\"dialog\"", console::texts::kNoTrayText}), 1u);
    EXPECT_EQ(CountDialogLines(Log(), {console::texts::kSecurityWarningCaption}), 0u)
        << "the plain login page raised the security warning";
}

TEST_F(ConsoleE2eTest, CompletionDeliversTheResultPageInGb2312AndOpensTheSuccessPage) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(LogIn());
    ASSERT_NO_FATAL_FAILURE(Order());
    ASSERT_TRUE(m_seat.WaitForPages(1, kLimit)) << "the seat got no notice page";
    EXPECT_EQ(m_seat.Pages()[0], Text(kNoticePage) + '\0');
    EXPECT_TRUE(WaitForDialogLine(
        Log(), {"\"kind\":\"popup\"", "收到来自客户 127.0.0.1[座号：A8] 的商品购买请求！"},
        kLimit));

    m_front.Queue(Text(kTransactionPath), Click("ButtonViewSeat"));
    EXPECT_TRUE(WaitForDialogLine(
        Log(), {console::texts::kSeatViewerCaption, "127.0.0.1", "座号：A8"}, kLimit))
        << "the seat viewer did not show the order's seat";

    m_front.Queue(Text(kTransactionPath), Click("ButtonOnCommitSuccess"));
    ASSERT_TRUE(m_seat.WaitForPages(2, kLimit)) << "the result page did not reach the seat";
    const std::string result = m_seat.Pages()[1];
    ASSERT_FALSE(result.empty());
    EXPECT_EQ(result.back(), '\0');
    EXPECT_NE(result.find(TextCodec::Utf8ToGb2312("交易成功")), std::string::npos);
    EXPECT_EQ(result.find("交易成功"), std::string::npos) << "the page went out as UTF-8";
    EXPECT_NE(result.find(m_serial), std::string::npos);
    EXPECT_TRUE(result.starts_with("<body")) << "only the body travels";
    EXPECT_TRUE(m_front.WaitForPage(Text(kSuccessPath) + "?transid=" + m_serial, kLimit))
        << "the success page was not opened";

    m_front.Queue(Text(kSuccessPath), Click("ButtonReSend"));
    ASSERT_TRUE(m_seat.WaitForPages(3, kLimit)) << "the re-send did not reach the seat";
    EXPECT_EQ(m_seat.Pages()[2], result);

    m_front.Queue(Text(kSuccessPath), Click("ButtonDisplay"));
    EXPECT_TRUE(
        WaitForDialogLine(Log(), {console::texts::kTransactionViewCaption, "交易成功"}, kLimit))
        << "the transaction view did not show the kept page";
    EXPECT_TRUE(zn::test::WaitFor(
        [&] { return !std::filesystem::exists(Folder() / "OldPage.html"); }, kLimit))
        << "OldPage.html outlived its view";
}

TEST_F(ConsoleE2eTest, CompletionForASeatThatIsGoneOpensTheFailurePage) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(LogIn());
    ASSERT_NO_FATAL_FAILURE(Order());
    ASSERT_TRUE(m_seat.WaitForPages(1, kLimit));
    m_seat.Leave();

    m_front.Queue(Text(kTransactionPath), Click("ButtonOnCommitSuccess"));
    EXPECT_TRUE(m_front.WaitForPage(Text(kFailurePath) + "?transid=" + m_serial, kLimit))
        << "the failure page was not opened";
    EXPECT_EQ(m_seat.Pages().size(), 1u);
}

// A reject refused by the locked console leaves the order as it was: the back office records a
// cancellation only on the page that the console opens after it carried the reject out.
TEST_F(ConsoleE2eTest, RejectIsRefusedWhileLockedAndSendsTheRejectPageOnceUnlocked) {
    // The lock's password prompt and notice, the refusal, the unlock's prompt and notice.
    ASSERT_NO_FATAL_FAILURE(Start("ok:secret,ok,ok,ok:secret,ok", ConsoleProgram::Driver));
    ASSERT_NO_FATAL_FAILURE(LogIn());
    ASSERT_NO_FATAL_FAILURE(Order());
    ASSERT_TRUE(m_seat.WaitForPages(1, kLimit));
    const auto cancelPages = [&] {
        std::size_t count = 0;
        for (const std::string& page : m_front.ServedPages()) {
            count += page.starts_with(Text(kCancelPath)) ? 1 : 0;
        }
        return count;
    };

    ASSERT_TRUE(m_console->SendTrayCommand(console::texts::kCommandLock));
    ASSERT_TRUE(WaitForDialogLine(
        Log(), {console::texts::kLockedCaption, console::texts::kLockedText}, kLimit))
        << "the console did not lock";
    EXPECT_EQ(CountDialogLines(Log(), {console::texts::kPasswordPromptCaption, "ok:secret"}), 1u);
    m_front.Queue(Text(kTransactionPath), Click("ButtonCancelIt_Murvel"));
    ASSERT_TRUE(WaitForDialogLine(
        Log(), {console::texts::kLockedCaption, console::texts::kUnlockBeforeCancelText}, kLimit))
        << "the reject was not refused while locked";

    ASSERT_TRUE(m_console->SendTrayCommand(console::texts::kCommandLock));
    ASSERT_TRUE(WaitForDialogLine(
        Log(), {console::texts::kUnlockedCaption, console::texts::kUnlockedText}, kLimit))
        << "the console did not unlock";
    EXPECT_EQ(m_seat.Pages().size(), 1u) << "a reject went out while locked";
    EXPECT_EQ(cancelPages(), 0u) << "a refused reject was reported to the back office";

    m_front.Queue(Text(kTransactionPath), Click("ButtonCancelIt_Murvel"));
    ASSERT_TRUE(m_seat.WaitForPages(2, kLimit)) << "the reject page did not reach the seat";
    EXPECT_EQ(m_seat.Pages()[1], Text(kRejectPage) + '\0');
    EXPECT_TRUE(m_front.WaitForPage(Text(kCancelPath) + "?transid=" + m_serial + "&sent=1", kLimit))
        << "the cancellation page was not opened";
    EXPECT_EQ(cancelPages(), 1u);
}

// Two orders back to back: the second is completed in the back office, the first stays open and
// is announced again once; "今日订单" lists both, newest first.
TEST_F(ConsoleE2eTest, TodaysOrdersKeepBothOrdersAndTheOpenOneIsReminded) {
    const Registry registry(Registry::DefaultFolder());
    const auto key = registry.OpenKey(RegistryRoot::LocalMachine, console::kConsoleKeyPath);
    ASSERT_TRUE(key);
    key->SetDword("ReminderMinutes", 1);
    key->SetDword("ReminderCount", 1);
    // A "minute" long enough for the second order's completion to come first.
    ASSERT_NO_FATAL_FAILURE(Start({}, ConsoleProgram::Driver, {"--reminder-minute-ms=6000"}));
    ASSERT_NO_FATAL_FAILURE(LogIn());
    ASSERT_NO_FATAL_FAILURE(Order());
    const std::string first = m_serial;
    m_serial = m_front.CreateOrder("A8");
    ASSERT_TRUE(m_seat.Order(m_serial));
    ASSERT_TRUE(m_front.WaitForPage(TransactionPage(), kLimit)) << "the second order's page";
    const std::string second = m_serial;
    ASSERT_TRUE(m_seat.WaitForPages(2, kLimit)) << "the notice pages";

    m_front.Queue(Text(kTransactionPath), Click("ButtonOnCommitSuccess"));
    ASSERT_TRUE(m_front.WaitForPage(Text(kSuccessPath) + "?transid=" + second, kLimit))
        << "the second order was not completed";
    const std::string reminder = "座号：A8 的订单 " + first + " 已等待 1 分钟，尚未处理！";
    ASSERT_TRUE(WaitForDialogLine(Log(), {"\"kind\":\"popup\"", reminder}, kLimit))
        << "the open order was not reminded";

    ASSERT_TRUE(m_console->SendTrayCommand(console::texts::kCommandOrders));
    ASSERT_TRUE(WaitForDialogLine(Log(), {"\"kind\":\"window\"", "今日订单"}, kLimit))
        << "the day's orders did not open";
    const std::string rows = LastDialogLine(Log(), {"\"kind\":\"window\"", "今日订单"});
    EXPECT_NE(rows.find("待处理 1 笔，今日共 2 笔"), std::string::npos) << rows;
    const auto secondRow = rows.find("A8 (127.0.0.1) " + second + " 已完成 ");
    const auto firstRow = rows.find("A8 (127.0.0.1) " + first + " 待处理");
    EXPECT_NE(secondRow, std::string::npos) << rows;
    EXPECT_NE(firstRow, std::string::npos) << rows;
    EXPECT_LT(secondRow, firstRow) << "newest first";

    std::this_thread::sleep_for(3s);
    EXPECT_EQ(CountDialogLines(Log(), {"\"kind\":\"popup\"", "尚未处理"}), 1u)
        << "ReminderCount 1: one reminder of the open order, none of the completed one";
}

// Pages clear or refill fields right after raising a click; each click keeps its own values.
TEST_F(ConsoleE2eTest, EachClickCarriesTheValuesOfItsOwnDispatch) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(m_front.WaitForPage(kLoginPath, kLimit)) << "no login page was opened";
    m_front.Queue(Text(kLoginPath), R"(
        var field = function (id) { return document.getElementById(id); };
        var add = function (tag, id) {
            var element = document.createElement(tag);
            element.id = id;
            document.body.appendChild(element);
            return element;
        };
        var ip = add('input', 'ClientIP'), view = add('button', 'ButtonViewSeat');
        ip.value = '127.0.0.1'; view.click(); ip.value = '';
        ip.value = '10.0.0.1'; view.click(); ip.value = '10.0.0.2'; view.click();
        field('username_input').value = 'demo'; field('password_input').value = '1234';
        field('ButtonOK').click(); field('password_input').value = '';
        view.onclick = function (event) { event.stopPropagation(); };
        ip.value = '10.0.0.3'; view.click();)");

    EXPECT_TRUE(m_front.WaitForPage(
        Text(kLoginPath) + "?wbar=2&saleusername=demo&saleempname=&salepsw=1234&salemac=", kLimit))
        << "the login went without the password it was submitted with";
    ASSERT_TRUE(WaitForDialogLine(Log(), {console::texts::kSeatViewerCaption}, kLimit, 4))
        << "seat viewer clicks were lost";
    for (const std::string_view address : {"127.0.0.1", "10.0.0.1", "10.0.0.2", "10.0.0.3"}) {
        EXPECT_EQ(CountDialogLines(Log(), {console::texts::kSeatViewerCaption, address}), 1u)
            << address;
    }
    EXPECT_EQ(CountDialogLines(Log(), {console::texts::kNoClientIpText}), 0u);
}

// Values the console puts into addresses leave as code page 936, and the web host reads them.
TEST_F(ConsoleE2eTest, ChineseValuesReachTheBackOfficeAsCodePage936) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(LogIn());
    const std::string login = Text(kLoginPath) +
                              "?wbar=2&saleusername=demo&saleempname=%D0%A1%CD%F5&salepsw=1234"
                              "&salemac=";
    ASSERT_TRUE(m_front.WaitForPage(login, kLimit)) << "小王 did not leave as %D0%A1%CD%F5";
    EXPECT_NE(m_front.PageBody(login).find("小王"), std::string::npos)
        << "the web host did not read the employee back";

    ASSERT_TRUE(m_seat.GreetWhenAdmitted(m_ports.local, kLimit).has_value());
    ASSERT_TRUE(m_seat.Order(TextCodec::Utf8ToGbk("单号1")));
    const std::string transId = "?transid=%B5%A5%BA%C51";
    ASSERT_TRUE(m_front.WaitForPage(Text(kTransactionPath) + transId, kLimit))
        << "the serial did not leave as code page 936";
    EXPECT_NE(
        m_front.PageBody(Text(kTransactionPath) + transId).find(R"(id="TransId" value="单号1")"),
        std::string::npos);

    // The web host knows no such order, so the result goes nowhere and the failure page opens.
    m_front.Queue(Text(kTransactionPath), Click("ButtonOnCommitSuccess"));
    EXPECT_TRUE(m_front.WaitForPage(Text(kFailurePath) + transId, kLimit))
        << "the done page's transaction id did not leave as code page 936";
}

TEST_F(ConsoleE2eTest, LoginPageWithAnIframeRaisesTheSecurityWarning) {
    WriteConsoleSettings(m_front, m_ports, "/test/iframe-login.jsp");
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_TRUE(WaitForDialogLine(
        Log(), {console::texts::kSecurityWarningCaption, console::texts::kSecurityWarningText},
        kLimit))
        << "no security warning for the injected login page";
}

// A counter that starts before its back office is up: no alarm, and the login page once it is.
TEST_F(ConsoleE2eTest, LoginPageThatCannotBeLoadedIsRetriedWithoutTheSecurityWarning) {
    const std::uint16_t port = FreePort();
    ASSERT_NE(port, 0);
    const std::string loginPage = "http://127.0.0.1:" + std::to_string(port) + Text(kLoginPath);
    Registry(Registry::DefaultFolder())
        .OpenKey(RegistryRoot::LocalMachine, console::kConsoleKeyPath)
        ->SetString("LoginPage", loginPage);
    // The driver tries the login page again every second.
    ASSERT_NO_FATAL_FAILURE(Start({}, ConsoleProgram::Driver));
    ASSERT_TRUE(zn::test::WaitFor(
        [&] {
            const auto output = zn::test::ReadFile(Folder() / "console-output.txt");
            return output && output->find("the login page " + loginPage + " cannot be loaded") !=
                                 std::string::npos;
        },
        kLimit))
        << "the failed login page was not logged";

    BackOfficeFront backOffice({.port = port});
    ASSERT_TRUE(backOffice.WaitForPage(kLoginPath, kLimit)) << "the login page was not retried";
    EXPECT_TRUE(WaitForCaption(m_sandbox, kBackOfficeCaption, kLimit));
    EXPECT_EQ(CountDialogLines(Log(), {console::texts::kSecurityWarningCaption}), 0u)
        << "a login page that did not load raised the security warning";
}

TEST_F(ConsoleE2eTest, ExitConfirmationCancelKeepsTheConsoleAndOkEndsIt) {
    ASSERT_NO_FATAL_FAILURE(Start("cancel,ok", ConsoleProgram::Driver));
    ASSERT_TRUE(WaitForCaption(m_sandbox, kBackOfficeCaption, kLimit));

    ASSERT_TRUE(m_console->SendTrayCommand(console::texts::kCommandExit));
    ASSERT_TRUE(WaitForDialogLine(
        Log(), {console::texts::kExitConfirmCaption, "\"answer\":\"cancel\""}, kLimit));
    EXPECT_TRUE(m_console->Running()) << "Cancel ended the console";
    EXPECT_TRUE(WaitForCaption(m_sandbox, kBackOfficeCaption, 0ms));

    ASSERT_TRUE(m_console->SendTrayCommand(console::texts::kCommandExit));
    ASSERT_TRUE(WaitForDialogLine(Log(), {console::texts::kExitConfirmCaption, "\"answer\":\"ok\""},
                                  kLimit));
    EXPECT_EQ(m_console->WaitForExit(kLimit), std::optional<int>(0))
        << "the confirmed exit did not end the console";
}

TEST_F(ConsoleE2eTest, ExitEndsWithinASecondWhileWorkersWaitOnListenersThatNeverAnswer) {
    // Three Listener windows that take a notification and never acknowledge it.
    std::atomic<bool> released = false;
    const WindowDirectory windows(WindowDirectory::DefaultFolder());
    const Registry registry(Registry::DefaultFolder());
    const auto listeners =
        registry.CreateKey(RegistryRoot::LocalMachine, console::kListenerKeyPath);
    ASSERT_TRUE(listeners);
    std::vector<std::unique_ptr<PublishedWindow>> deaf;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "Deaf" + std::to_string(i);
        deaf.push_back(PublishedWindow::Publish(windows, name, name, [&](std::uint32_t, auto) {
            for (int waited = 0; waited < 300 && !released; ++waited) {
                std::this_thread::sleep_for(100ms);
            }
        }));
        ASSERT_TRUE(deaf.back() && listeners->SetString(name, name));
    }
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag = true; }  // before the windows go, which wait for their handlers
    } const releaseAtEnd{released};

    ASSERT_NO_FATAL_FAILURE(Start("ok", ConsoleProgram::Driver));
    ASSERT_NO_FATAL_FAILURE(LogIn());
    ASSERT_NO_FATAL_FAILURE(Order());
    std::this_thread::sleep_for(500ms);  // the worker now waits on the first deaf window

    ASSERT_TRUE(m_console->SendTrayCommand(console::texts::kCommandExit));
    ASSERT_TRUE(WaitForDialogLine(Log(), {console::texts::kExitConfirmCaption, "\"answer\":\"ok\""},
                                  kLimit));
    const auto confirmed = std::chrono::steady_clock::now();
    EXPECT_EQ(m_console->WaitForExit(kLimit), std::optional<int>(0));
    EXPECT_LT(std::chrono::steady_clock::now() - confirmed, 1s)
        << "the exit waited for the workers";
    EXPECT_FALSE(WaitForCaption(m_sandbox, kBackOfficeCaption, 0ms))
        << "the window entry outlived the console";
}

TEST_F(ConsoleE2eTest, SecondConsoleIsRefusedWhileTheFirstCarriesItsCaption) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(WaitForCaption(m_sandbox, kBackOfficeCaption, kLimit));

    const auto secondLog = m_sandbox.Path() / "second.jsonl";
    ConsoleProcess second(m_sandbox, m_sandbox.Path() / "second", secondLog, "");
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(kLimit), std::optional<int>(0))
        << "the second console did not end by itself";
    EXPECT_EQ(CountDialogLines(secondLog,
                               {"\"caption\":\"提示\"",
                                "收银台已打开，请您右键点击电脑屏幕右下脚QZ图标！", "information"}),
              1u);
    EXPECT_TRUE(m_console->Running());
}

}  // namespace
}  // namespace zn::e2e
