#include "ConsoleHarness.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>

#include "SeatGreeting.h"
#include "WaitFor.h"
#include "console/ConsoleSettings.h"
#include "net/Frame.h"
#include "net/SocketAddress.h"
#include "platform/Registry.h"

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

// A seat's socket never waits longer than this for the console.
constexpr timeval kSeatReceiveLimit{10, 0};

// True when a socket of this type can be bound to the loopback port now.
bool CanBind(int type, std::uint16_t port) {
    const int probe = socket(AF_INET, type, 0);
    if (probe < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool bound = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    return bound;
}

// A port the console binds later must not be one that the system hands out meanwhile as the
// local port of some connection, so it comes from below the ephemeral range.
std::uint16_t UnusedPortBelowEphemeralRange(int type) {
    constexpr int kFirst = 20000;
    constexpr int kCount = 12000;
    static std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = static_cast<std::uint16_t>(kFirst + random() % kCount);
        if (CanBind(type, port)) {
            return port;
        }
    }
    return 0;
}

}  // namespace

ScriptedSeat::ScriptedSeat() {
    const auto loopback = CSocketAddress::FromDotted("127.0.0.1", 0);
    if (loopback && m_feedback.Create(*loopback) && m_feedback.Listen()) {
        m_feedbackPort = ntohs(m_feedback.Local().sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
}

ScriptedSeat::~ScriptedSeat() {
    Leave();
    if (m_request) {
        m_request->Close();
    }
}

void ScriptedSeat::Leave() {
    m_feedback.Close();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void ScriptedSeat::Serve() {
    for (;;) {
        CSocketAddress peer;
        std::unique_ptr<CTcpSocket> connection = m_feedback.Accept(&peer);
        if (!connection) {
            return;
        }
        setsockopt(connection->Handle(), SOL_SOCKET, SO_RCVTIMEO, &kSeatReceiveLimit,
                   sizeof kSeatReceiveLimit);
        const auto body = ReceiveFrame(*connection, kPageFrameCap);
        if (body) {
            const std::lock_guard lock(m_mutex);
            m_pages.emplace_back(reinterpret_cast<const char*>(body->data()), body->size());
        }
    }
}

std::vector<std::string> ScriptedSeat::Pages() const {
    const std::lock_guard lock(m_mutex);
    return m_pages;
}

bool ScriptedSeat::WaitForPages(std::size_t count, std::chrono::milliseconds limit) const {
    return zn::test::WaitFor([&] { return Pages().size() >= count; }, limit);
}

std::optional<std::string> ScriptedSeat::Greet(std::uint16_t consolePort) {
    m_request = std::make_unique<CTcpSocket>();
    return GreetConsole(*m_request, "127.0.0.1", consolePort);
}

std::optional<std::string> ScriptedSeat::GreetWhenAdmitted(std::uint16_t consolePort,
                                                           std::chrono::milliseconds limit) {
    std::optional<std::string> greeting;
    zn::test::WaitFor(
        [&] {
            greeting = Greet(consolePort);
            if (!greeting) {
                std::this_thread::sleep_for(50ms);
            }
            return greeting.has_value();
        },
        limit);
    return greeting;
}

bool ScriptedSeat::Order(std::string_view serial) {
    return m_request && SendTextFrame(*m_request, "O" + std::string(serial));
}

void WriteConsoleSettings(const BackOfficeFront& front, const ConsolePorts& ports,
                          std::string_view loginPath) {
    const Registry registry(Registry::DefaultFolder());
    const auto key = registry.CreateKey(RegistryRoot::LocalMachine, console::kConsoleKeyPath);
    if (!key) {
        return;
    }
    key->SetString("LoginPage", front.Address(loginPath));
    key->SetString("MainPage_Murvel", front.Address("/wb/loginsyt.jsp"));
    key->SetString("ViewTransPage_Murvel", front.Address("/jsp/empManage/noProcessInfo.jsp"));
    key->SetString("TransactionDone1_Murvel", front.Address("/wb/send_trans_success.jsp"));
    key->SetString("TransactionDone2_Murvel", front.Address("/wb/send_trans_fail.jsp"));
    key->SetString("TransactionCancel_Murvel", front.Address("/wb/send_trans_cancel.jsp"));
    key->SetDword("LocalPort", ports.local);
    key->SetDword("RemotePort", ports.remote);
    key->SetDword("BroadcastPort", ports.broadcast);
}

ConsoleProcess::ConsoleProcess(const zn::test::Sandbox& sandbox,
                               const std::filesystem::path& folder,
                               const std::filesystem::path& dialogLog, std::string dialogAnswers,
                               ConsoleProgram program, std::vector<std::string> arguments)
    : ProgramProcess(sandbox, {.source = program == ConsoleProgram::Driver ? ZN_CONSOLE_DRIVER
                                                                           : ZN_CONSOLE_PROGRAM,
                               .name = "ZentrovaNubraConsole",
                               .folder = folder,
                               .arguments = std::move(arguments),
                               .output = folder / "console-output.txt",
                               .dialogLog = dialogLog,
                               .dialogAnswers = std::move(dialogAnswers),
                               .takesInput = true}) {}

bool ConsoleProcess::SendTrayCommand(int command) {
    return WriteInput(std::to_string(command) + "\n");
}

std::uint16_t FreePort() {
    return UnusedPortBelowEphemeralRange(SOCK_STREAM);
}

std::uint16_t FreeUdpPort() {
    return UnusedPortBelowEphemeralRange(SOCK_DGRAM);
}

}  // namespace zn::e2e
