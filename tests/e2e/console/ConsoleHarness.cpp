#include "ConsoleHarness.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>

#include "WaitFor.h"
#include "console/ConsoleSettings.h"
#include "net/Frame.h"
#include "net/SocketAddress.h"
#include "platform/Registry.h"

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

// Asks the front for the next step of its path ten times a second; a step is a line of script.
constexpr std::string_view kControlScript = R"(<script>
(function () {
  function poll() {
    fetch('/test/action?path=' + encodeURIComponent(location.pathname))
      .then(function (r) { return r.text(); })
      .then(function (step) { if (step) { (0, eval)(step); } })
      .catch(function () {})
      .finally(function () { setTimeout(poll, 100); });
  }
  poll();
})();
</script>
)";

constexpr std::string_view kIframeLoginPath = "/test/iframe-login.jsp";
// A seat's socket never waits longer than this for the console.
constexpr timeval kSeatReceiveLimit{10, 0};

void InsertBefore(std::string& page, std::string_view tag, std::string_view addition) {
    const auto at = page.find(tag);
    page.insert(at == std::string::npos ? page.size() : at, addition);
}

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

BackOfficeFront::BackOfficeFront(std::uint16_t port, std::uint16_t hostPort)
    : m_host(webhost::WebHostConfig{.pagesFolder = ZN_WEBHOST_PAGES_DIR, .logRequests = false}) {
    m_hostPort = hostPort != 0 ? hostPort : m_host.Start(0).value_or(0);
    m_front.Get("/test/action",
                [this](const httplib::Request& request, httplib::Response& response) {
                    const std::string path = request.get_param_value("path");
                    std::string step;
                    {
                        const std::lock_guard lock(m_mutex);
                        for (auto found = m_steps.begin(); found != m_steps.end(); ++found) {
                            if (found->first == path) {
                                step = std::move(found->second);
                                m_steps.erase(found);
                                break;
                            }
                        }
                    }
                    response.set_content(step, "text/javascript");
                });
    m_front.Get(std::string(kIframeLoginPath),
                [this](const httplib::Request& q, httplib::Response& r) {
                    Forward(q, r, "/wb/loginsyt.jsp");
                });
    m_front.Get(
        ".*", [this](const httplib::Request& q, httplib::Response& r) { Forward(q, r, q.target); });
    m_front.Post(
        ".*", [this](const httplib::Request& q, httplib::Response& r) { Forward(q, r, q.target); });
    if (port == 0) {
        m_frontPort = m_front.bind_to_any_port("127.0.0.1");
    } else if (m_front.bind_to_port("127.0.0.1", port)) {
        m_frontPort = port;
    }
    m_thread = std::thread([this] { m_front.listen_after_bind(); });
    zn::test::WaitFor([this] { return m_front.is_running(); });
}

BackOfficeFront::~BackOfficeFront() {
    m_front.stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_host.Stop();
}

std::string BackOfficeFront::Address(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(m_frontPort) + std::string(path);
}

std::vector<std::string> BackOfficeFront::ServedPages() const {
    const std::lock_guard lock(m_mutex);
    return m_served;
}

std::string BackOfficeFront::PageBody(std::string_view prefix) const {
    const std::lock_guard lock(m_mutex);
    for (std::size_t i = 0; i < m_served.size(); ++i) {
        if (m_served[i].starts_with(prefix)) {
            return m_bodies[i];
        }
    }
    return {};
}

bool BackOfficeFront::WaitForPage(std::string_view prefix, std::chrono::milliseconds limit,
                                  std::size_t count) const {
    return zn::test::WaitFor(
        [&] {
            std::size_t seen = 0;
            for (const std::string& page : ServedPages()) {
                seen += page.starts_with(prefix) ? 1 : 0;
            }
            return seen >= count;
        },
        limit);
}

void BackOfficeFront::Queue(std::string path, std::string script) {
    const std::lock_guard lock(m_mutex);
    m_steps.emplace_back(std::move(path), std::move(script));
}

std::string BackOfficeFront::CreateOrder(std::string_view seat) {
    httplib::Client host("127.0.0.1", m_hostPort);
    const httplib::Params order{{"goods", "card-jx-30"},
                                {"qty", "1"},
                                {"seat", std::string(seat)},
                                {"ip", "127.0.0.1"},
                                {"cid", "12"}};
    const auto answer = host.Post("/wb/order", order);
    if (!answer || answer->status != 200) {
        return {};
    }
    // {"serial":"<digits>",...}
    const std::string_view body = answer->body;
    const auto start = body.find("\"serial\":\"");
    if (start == std::string_view::npos) {
        return {};
    }
    const auto digits = start + 10;
    return std::string(body.substr(digits, body.find('"', digits) - digits));
}

void BackOfficeFront::Forward(const httplib::Request& request, httplib::Response& response,
                              std::string_view hostTarget) {
    httplib::Client host("127.0.0.1", m_hostPort);
    const std::string target(hostTarget);
    const auto type = request.get_header_value("Content-Type");
    const auto answer =
        request.method == "POST" ? host.Post(target, request.body, type) : host.Get(target);
    if (!answer) {
        response.status = 502;
        return;
    }
    response.status = answer->status;
    std::string body = answer->body;
    const std::string contentType = answer->get_header_value("Content-Type");
    if (contentType.starts_with("text/html")) {
        {
            const std::lock_guard lock(m_mutex);
            m_served.push_back(request.target);
            m_bodies.push_back(body);
        }
        InsertBefore(body, "</head>", kControlScript);
        if (request.path == kIframeLoginPath) {
            InsertBefore(body, "</body>", "<iframe src=\"/wb/notice.html\"></iframe>\n");
        }
    }
    response.set_content(body, contentType);
}

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
    const auto console = CSocketAddress::FromDotted("127.0.0.1", consolePort);
    m_request = std::make_unique<CTcpSocket>();
    if (!console || !m_request->Create(0) || !m_request->Connect(&*console)) {
        return std::nullopt;
    }
    setsockopt(m_request->Handle(), SOL_SOCKET, SO_RCVTIMEO, &kSeatReceiveLimit,
               sizeof kSeatReceiveLimit);
    const auto greeting = ReceiveFrame(*m_request, kRequestFrameCap);
    if (!greeting) {
        return std::nullopt;
    }
    return TextUpToNul(*greeting);
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
