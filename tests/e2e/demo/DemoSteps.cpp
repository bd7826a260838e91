#include "DemoSteps.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string_view>
#include <thread>

#include "Sandbox.h"
#include "SeatGreeting.h"
#include "ShopActions.h"
#include "WaitFor.h"
#include "console/ConsoleSettings.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

// For any one step; the browsers' start included.
constexpr auto kStepLimit = 40s;
constexpr std::string_view kSeatKeyPath = "SOFTWARE\\Pexora\\ZentrovaClient";
constexpr std::string_view kStatus = "Status: ";

}  // namespace

bool WriteDemoSettings(const std::filesystem::path& registry, const DemoPorts& ports,
                       const std::string& releaseKey) {
    const Registry root(registry);
    const std::string host = "127.0.0.1:" + std::to_string(ports.webHost);
    const std::string shop = "http://" + host;
    const auto counter = root.CreateKey(RegistryRoot::LocalMachine, console::kConsoleKeyPath);
    const auto seat = root.CreateKey(RegistryRoot::LocalMachine, kSeatKeyPath);
    return counter && seat && counter->SetString("LoginPage", shop + std::string(kLoginAtStart)) &&
           counter->SetString("MainPage_Murvel", shop + "/wb/loginsyt.jsp") &&
           counter->SetString("ViewTransPage_Murvel", shop + std::string(kTransactionPath)) &&
           counter->SetString("TransactionDone1_Murvel", shop + std::string(kSuccessPath)) &&
           counter->SetString("TransactionDone2_Murvel", shop + "/wb/send_trans_fail.jsp") &&
           counter->SetString("TransactionCancel_Murvel", shop + "/wb/send_trans_cancel.jsp") &&
           counter->SetDword("LocalPort", ports.console) &&
           counter->SetDword("RemotePort", ports.seat) &&
           counter->SetDword("BroadcastPort", ports.discovery) &&
           counter->SetString("UpdateServerAddress", host) &&
           counter->SetString("UpdatePublicKey", releaseKey) &&
           seat->SetDword("BroadcastPort", ports.discovery);
}

bool NoteGreeting(const std::string& seatAddress, std::uint16_t consolePort,
                  Transcript& transcript) {
    std::optional<std::string> greeting;
    zn::test::WaitFor(
        [&] {
            CTcpSocket connection;
            greeting = GreetConsole(connection, seatAddress, consolePort);
            if (!greeting) {
                std::this_thread::sleep_for(200ms);
            }
            return greeting.has_value();
        },
        kStepLimit);
    // The greeting is code page 936 on the wire (a seat number may be Chinese).
    return transcript.Expect(greeting.has_value(),
                             "console: logged in to the back office; the seat at " + seatAddress +
                                 " is greeted with \"" +
                                 TextCodec::GbkToUtf8(greeting.value_or("")) + "\"",
                             "the console did not log in to the back office");
}

bool NoteLauncher(const std::filesystem::path& state, Transcript& transcript) {
    const auto output = state / "output" / "seat.log";
    if (!zn::test::WaitFor(
            [&] {
                const bool started = zn::test::ReadFile(output).value_or("").find(
                                         "Client started") != std::string::npos;
                if (!started) {
                    std::this_thread::sleep_for(200ms);
                }
                return started;
            },
            kStepLimit)) {
        transcript.Fail("the launcher did not start the seat client");
        return false;
    }
    const std::string log = zn::test::ReadFile(output).value_or("");
    for (std::size_t start = 0; start < log.size();) {
        const auto end = std::min(log.find('\n', start), log.size());
        const std::string_view line = std::string_view(log).substr(start, end - start);
        if (const auto status = line.rfind(kStatus); status != std::string_view::npos) {
            transcript.Note("launcher: (Esc键取消更新) " +
                            std::string(line.substr(status + kStatus.size())));
        }
        start = end + 1;
    }
    const auto seat = state / "seat";
    return transcript.Expect(
        !zn::test::ReadFile(seat / "Content" / "skin" / "seat.css").value_or("").empty() &&
            !zn::test::ReadFile(seat / "Version.xml").value_or("").empty(),
        "launcher: fetched the signed seat-client release into Content/ and started the client",
        "the launcher did not take the signed seat-client release");
}

}  // namespace zn::e2e
