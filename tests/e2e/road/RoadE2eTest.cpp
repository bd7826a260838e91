// The whole road of an order with both real programs offscreen: the seat client orders in the
// shop of the local web host, the console announces the order and the cashier completes it in
// the back office, and the seat shows the result. Checked through the pages served, the seat's
// files and both dialog logs.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ConsoleHarness.h"
#include "Sandbox.h"
#include "SeatProcess.h"
#include "ShopActions.h"
#include "Strays.h"
#include "WaitFor.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

// Start-up of two browsers included; generous for a loaded machine.
constexpr auto kLimit = 20s;

// Gives the receipt the page contract's caption elements before the cashier completes the order,
// so that the seat names its window once it shows the result.
constexpr std::string_view kShownCaption = "交易结果已显示";
constexpr std::string_view kTagReceipt =
    "document.getElementById('receipt').insertAdjacentHTML('beforeend',"
    " '<input type=\"hidden\" id=\"title\" value=\"交易结果已显示\">"
    "<button id=\"Init\" hidden></button>"
    "<script>document.getElementById(\"Init\").click();</script>');";

std::string Text(std::string_view text) {
    return std::string(text);
}

class RoadE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_ports = {FreePort(), FreePort(), FreeUdpPort()};
        ASSERT_NE(m_ports.local, 0);
        ASSERT_NE(m_ports.remote, 0);
        ASSERT_NE(m_ports.broadcast, 0);
        WriteConsoleSettings(m_front, m_ports, kLoginAtStart);
        m_sandbox.WriteFile("console/SeatList.xml", kSeatTable);
        m_sandbox.WriteFile("console/RequestReceived.html", m_notice);
        m_sandbox.WriteFile("console/RejectTrans.html", "<html><body>rejected</body></html>");
        WriteSeatSettings(0);
    }

    void TearDown() override {
        m_console.reset();
        KillProgramsUnder(m_sandbox.Path());
        if (HasFailure()) {
            std::cerr << "--- console output\n"
                      << zn::test::ReadFile(ConsoleFolder() / "console-output.txt").value_or("")
                      << "\n--- console dialog log\n"
                      << zn::test::ReadFile(ConsoleLog()).value_or("") << "--- seat output\n"
                      << zn::test::ReadFile(SeatFolder() / "client-output.txt").value_or("")
                      << "\n--- seat dialog log\n"
                      << zn::test::ReadFile(SeatLog()).value_or("") << "--- pages served\n";
            for (const std::string& page : m_front.ServedPages()) {
                std::cerr << page << "\n";
            }
        }
    }

    std::filesystem::path ConsoleFolder() const { return m_sandbox.Path() / "console"; }
    std::filesystem::path SeatFolder() const { return m_sandbox.Path() / "seat"; }
    std::filesystem::path ConsoleLog() const { return m_sandbox.Path() / "console-dialogs.jsonl"; }
    std::filesystem::path SeatLog() const { return m_sandbox.Path() / "seat-dialogs.jsonl"; }

    void WriteSeatSettings(int counterMode) {
        m_sandbox.WriteFile("seat/gameclient.dat",
                            "[PROFILE_QZ]\r\nRemotePort=" + std::to_string(m_ports.local) +
                                "\r\nLocalPort=" + std::to_string(m_ports.remote) +
                                "\r\nCounterMode=" + std::to_string(counterMode) +
                                "\r\nMainPage=" + m_front.Address(kShopPath) + "\r\n");
        m_sandbox.WriteFile("seat/serverip.ini", "[PROFILE_QZ]\r\nServerAddress=127.0.0.1\r\n");
        // Should the seat ever look for a console by broadcast, it would ask this one's port.
        const Registry registry(Registry::DefaultFolder());
        if (const auto key = registry.CreateKey(RegistryRoot::LocalMachine,
                                                "SOFTWARE\\Pexora\\ZentrovaClient")) {
            key->SetDword("BroadcastPort", m_ports.broadcast);
        }
    }

    // The console comes first and admits seats before the seat starts, so the seat finds it at
    // 127.0.0.1 and never looks for it by broadcast. Offscreen there is no tray: its notice is
    // answered first.
    void StartConsole(ConsoleProgram program = ConsoleProgram::Product) {
        m_console = std::make_unique<ConsoleProcess>(m_sandbox, ConsoleFolder(), ConsoleLog(), "ok",
                                                     program);
        ASSERT_TRUE(m_console->Started()) << "the console did not start";
        ScriptedSeat probe;
        std::optional<std::string> greeting;
        zn::test::WaitFor(
            [&] {
                greeting = probe.Greet(m_ports.local);
                if (greeting != kGreeting) {
                    std::this_thread::sleep_for(50ms);
                }
                return greeting == kGreeting;
            },
            kLimit);
        ASSERT_EQ(greeting, kGreeting) << "the console did not log in by itself";
    }

    void StartSeat() {
        m_seat = std::make_unique<SeatProcess>(m_sandbox, SeatFolder(), SeatLog());
        ASSERT_TRUE(m_seat->Started()) << "the seat client did not start";
        ASSERT_TRUE(m_front.WaitForPage(Text(kShopPath) + "?", kLimit))
            << "the seat did not open the shop";
    }

    std::vector<std::string> ServedWith(std::string_view prefix) const {
        std::vector<std::string> pages;
        for (const std::string& page : m_front.ServedPages()) {
            if (page.starts_with(prefix)) {
                pages.push_back(page);
            }
        }
        return pages;
    }

    std::string ShopQuery() const {
        const auto shops = ServedWith(Text(kShopPath) + "?");
        return shops.empty() ? "" : shops.front().substr(kShopPath.size() + 1);
    }

    std::string OrderInTheShop(std::size_t count) {
        return zn::e2e::OrderInTheShop(m_front, count, kLimit);
    }

    std::string SeatPage() const {
        return zn::test::ReadFile(SeatFolder() / "MyZentrova2.html").value_or("");
    }

    zn::test::Sandbox m_sandbox;
    BackOfficeFront m_front;
    ConsolePorts m_ports;
    // The notice page as the configuration tool writes it: GBK, one line, no "成功".
    std::string m_notice = TextCodec::Utf8ToGbk(
        "<HTML><head><meta http-equiv='Content-Type' content=\"text/html; charset=gb2312\">"
        "</head><BODY><center><b>服务台已收到信息，请您在座位上稍等片刻</b><input "
        "id=\"ButtonMain\" name=\"ButtonMain\" type=\"button\" "
        "value=\"继续购买其他商品\"></center></BODY></HTML>");
    std::unique_ptr<ConsoleProcess> m_console;
    std::unique_ptr<SeatProcess> m_seat;  // last: killed first
};

TEST_F(RoadE2eTest, OrderIsAnnouncedCompletedAndItsResultShownAtTheSeat) {
    ASSERT_NO_FATAL_FAILURE(StartConsole());
    ASSERT_NO_FATAL_FAILURE(StartSeat());
    const std::string query = ShopQuery();
    EXPECT_TRUE(query.starts_with(Text(kGreeting) + "&ip=")) << query;
    EXPECT_TRUE(query.ends_with("&first=1")) << query;
    EXPECT_EQ(query.find("&ip=0&"), std::string::npos) << "a customer seat sends its address";

    const std::string serial = OrderInTheShop(1);
    ASSERT_FALSE(serial.empty()) << "the order did not open its transaction page";
    EXPECT_TRUE(WaitForDialogLine(ConsoleLog(), {"\"kind\":\"popup\"", kOrderPopup}, kLimit))
        << "the counter did not announce the order";
    EXPECT_TRUE(zn::test::WaitFor([&] { return SeatPage() == m_notice + '\0'; }, kLimit))
        << "the seat did not keep the notice page";

    CompleteOrder(m_front, kTagReceipt);
    const std::string success = TextCodec::Utf8ToGb2312("交易成功");
    ASSERT_TRUE(
        zn::test::WaitFor([&] { return SeatPage().find(success) != std::string::npos; }, kLimit))
        << "MyZentrova2.html does not hold the result";
    const std::string result = SeatPage();
    EXPECT_NE(result.find("<td>" + serial + "</td>"), std::string::npos) << "not this order's";
    EXPECT_EQ(result.find("交易成功"), std::string::npos) << "the result travelled as UTF-8";
    EXPECT_TRUE(m_front.WaitForPage(Text(kSuccessPath) + "?transid=" + serial, kLimit))
        << "the console did not open the success page";
    EXPECT_TRUE(WaitForCaption(m_sandbox, kShownCaption, kLimit))
        << "the seat does not show the result page";
    EXPECT_TRUE(m_seat->Running());
}

TEST_F(RoadE2eTest, MessageFromTheSeatPopsUpAtTheCounter) {
    ASSERT_NO_FATAL_FAILURE(StartConsole());
    ASSERT_NO_FATAL_FAILURE(StartSeat());
    LeaveMessage(m_front, "请送一包纸巾到我的座位");

    EXPECT_TRUE(WaitForDialogLine(
        ConsoleLog(),
        {"\"kind\":\"popup\"", "来自127.0.0.1[座号：A08]的顾客消息：请送一包纸巾到我的座位"},
        kLimit))
        << "the message did not pop up at the counter";
    EXPECT_TRUE(WaitForDialogLine(SeatLog(), {"您的信息已经发送至网吧收银台，请稍等片刻"}, kLimit))
        << "the customer was not told that the message went out";
    EXPECT_TRUE(ServedWith(kTransactionPath).empty()) << "a message opened a transaction";
}

TEST_F(RoadE2eTest, NextOrderReachesAConsoleRestartedWhileTheSeatRuns) {
    ASSERT_NO_FATAL_FAILURE(StartConsole());
    ASSERT_NO_FATAL_FAILURE(StartSeat());
    const std::string first = OrderInTheShop(1);
    ASSERT_FALSE(first.empty()) << "the first order did not arrive";
    ASSERT_TRUE(WaitForDialogLine(ConsoleLog(), {"\"kind\":\"popup\"", kOrderPopup}, kLimit));

    // The seat orders again only once the new console admits seats: its reconnect asks the
    // address it knows and never broadcasts.
    m_console.reset();
    ASSERT_NO_FATAL_FAILURE(StartConsole());
    const std::string second = OrderInTheShop(2);
    ASSERT_FALSE(second.empty()) << "the order after the restart did not arrive";
    EXPECT_NE(first, second);
    EXPECT_TRUE(WaitForDialogLine(ConsoleLog(), {"\"kind\":\"popup\"", kOrderPopup}, kLimit, 2))
        << "the restarted console did not announce the order";
    // Reconnecting is silent, and the shop stays as it was.
    EXPECT_EQ(CountDialogLines(SeatLog(), {"\"kind\":\"dialog\""}), 0u);
    EXPECT_EQ(ServedWith(Text(kShopPath) + "?").size(), 1u);
}

TEST_F(RoadE2eTest, CounterOrderOpensTheTransactionAndEndsTheClient) {
    WriteSeatSettings(1);
    ASSERT_NO_FATAL_FAILURE(StartConsole());
    ASSERT_NO_FATAL_FAILURE(StartSeat());
    EXPECT_TRUE(ShopQuery().ends_with("&ip=0&first=1")) << ShopQuery();

    EXPECT_FALSE(OrderInTheShop(1).empty()) << "the counter order did not open its transaction";
    EXPECT_EQ(m_seat->WaitForExit(kLimit), 0) << "the client did not end after the order";
    // A counter order needs neither a popup nor a notice page.
    EXPECT_EQ(CountDialogLines(ConsoleLog(), {"\"kind\":\"popup\""}), 0u);
    EXPECT_TRUE(SeatPage().empty());
}

TEST_F(RoadE2eTest, LaunchClientOpensTheCountersShopThroughTheLauncher) {
    // The seat's programs in the console's content folder; the counter's settings in the
    // console's working folder, where the launcher and the client it starts look for them. The
    // update server is down, so the launcher starts the client after its failure text.
    std::filesystem::create_directories(ConsoleFolder() / "Content");
    for (const auto& [source, name] : {std::pair{ZN_LAUNCHER_PROGRAM, "LaunchNubraClient"},
                                       std::pair{ZN_CLIENT_PROGRAM, "ZentrovaNubraClient"}}) {
        std::filesystem::copy_file(source, ConsoleFolder() / "Content" / name);
    }
    m_sandbox.WriteFile("console/gameclient.dat",
                        "[PROFILE_QZ]\r\nRemotePort=" + std::to_string(m_ports.local) +
                            "\r\nLocalPort=" + std::to_string(m_ports.remote) +
                            "\r\nCounterMode=1\r\nMain=ZentrovaNubraClient\r\nMainPage=" +
                            m_front.Address(kShopPath) + "\r\nUpdateServerAddress=127.0.0.1:" +
                            std::to_string(FreePort()) + "\r\n");
    m_sandbox.WriteFile("console/serverip.ini", "[PROFILE_QZ]\r\nServerAddress=127.0.0.1\r\n");
    ASSERT_NO_FATAL_FAILURE(StartConsole(ConsoleProgram::Driver));

    m_front.Queue("/wb/loginsyt.jsp", "document.getElementById('LaunchClient').click();");
    ASSERT_TRUE(m_front.WaitForPage(Text(kShopPath) + "?", kLimit))
        << "the counter's client did not open the shop";
    EXPECT_TRUE(ShopQuery().ends_with("&ip=0&first=1")) << "not in counter mode: " << ShopQuery();

    EXPECT_FALSE(OrderInTheShop(1).empty()) << "the counter order did not open its transaction";
    const auto output = [&] {
        return zn::test::ReadFile(ConsoleFolder() / "console-output.txt").value_or("");
    };
    EXPECT_TRUE(zn::test::WaitFor(
        [&] {
            const std::string text = output();
            const auto minimized = text.find("Window state: minimized");
            return minimized != std::string::npos &&
                   text.find("Window state: maximized", minimized) != std::string::npos;
        },
        kLimit))
        << "the console was not shown maximised after the counter order";
    EXPECT_TRUE(zn::test::WaitFor(
        [&] { return ProgramsUnder(ConsoleFolder() / "Content").empty(); }, kLimit))
        << "the launcher or the client did not end";
}

}  // namespace
}  // namespace zn::e2e
