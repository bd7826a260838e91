#include "ConsoleHarness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <random>

#include "WaitFor.h"
#include "console/ConsoleSettings.h"
#include "net/Frame.h"
#include "net/SocketAddress.h"
#include "platform/Registry.h"
#include "platform/WindowDirectory.h"

extern char** environ;

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

BackOfficeFront::BackOfficeFront()
    : m_host(webhost::WebHostConfig{.pagesFolder = ZN_WEBHOST_PAGES_DIR, .logRequests = false}) {
    m_hostPort = m_host.Start(0).value_or(0);
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
    m_frontPort = m_front.bind_to_any_port("127.0.0.1");
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
    key->SetDword("LocalPort", ports.local);
    key->SetDword("RemotePort", ports.remote);
    key->SetDword("BroadcastPort", ports.broadcast);
}

ConsoleProcess::ConsoleProcess(const zn::test::Sandbox& sandbox,
                               const std::filesystem::path& folder,
                               const std::filesystem::path& dialogLog, std::string dialogAnswers,
                               ConsoleProgram program) {
    const auto file = folder / "ZentrovaNubraConsole";
    const auto browserRuntime = sandbox.Path() / "xdg-run";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::filesystem::create_directories(browserRuntime, error);
    std::filesystem::permissions(browserRuntime, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
    const std::filesystem::path source =
        program == ConsoleProgram::Driver ? ZN_CONSOLE_DRIVER : ZN_CONSOLE_PROGRAM;
    if (!std::filesystem::exists(file)) {
        // The program folder matters: a link, or else a copy, of the program file.
        std::filesystem::create_hard_link(source, file, error);
        if (error) {
            std::filesystem::copy_file(source, file, error);
        }
    }

    std::map<std::string, std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const auto equals = text.find('=');
        if (equals != std::string_view::npos) {
            environment[std::string(text.substr(0, equals))] = std::string(text.substr(equals + 1));
        }
    }
    environment["LC_ALL"] = "C.UTF-8";
    environment["TZ"] = "UTC";
    environment["QT_QPA_PLATFORM"] = "offscreen";
    environment["QTWEBENGINE_DISABLE_SANDBOX"] = "1";
    environment["QTWEBENGINE_CHROMIUM_FLAGS"] =
        "--disable-gpu --no-sandbox --disable-background-networking --disable-component-update "
        "--disable-sync --no-first-run";
    environment["XDG_RUNTIME_DIR"] = browserRuntime.string();
    environment["ZENTROVA_DIALOG_LOG"] = dialogLog.string();
    environment["ZENTROVA_DIALOG_ANSWERS"] = std::move(dialogAnswers);
    std::vector<std::string> entries;
    for (const auto& [name, value] : environment) {
        entries.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& entry : entries) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    int commandPipe[2] = {-1, -1};
    if (pipe2(commandPipe, O_CLOEXEC) != 0) {
        return;
    }
    std::string programText = file.string();
    char* argv[] = {programText.data(), nullptr};
    const std::string output = (folder / "console-output.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_adddup2(&actions, commandPipe[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // A group of its own, so that its browser processes go with it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    if (posix_spawn(&m_pid, programText.c_str(), &actions, &attributes, argv, envp.data()) != 0) {
        m_pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(commandPipe[0]);
    m_commands = commandPipe[1];
}

ConsoleProcess::~ConsoleProcess() {
    if (m_commands >= 0) {
        close(m_commands);
    }
    if (m_pid > 0) {
        kill(-m_pid, SIGKILL);
        if (Running()) {
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
    }
}

bool ConsoleProcess::Running() {
    if (m_pid <= 0 || m_exitCode) {
        return false;
    }
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == 0) {
        return true;
    }
    m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::optional<int> ConsoleProcess::WaitForExit(std::chrono::milliseconds limit) {
    zn::test::WaitFor([this] { return !Running(); }, limit);
    return m_exitCode;
}

bool ConsoleProcess::SendTrayCommand(int command) {
    const std::string line = std::to_string(command) + "\n";
    return m_commands >= 0 &&
           write(m_commands, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

std::size_t CountDialogLines(const std::filesystem::path& log,
                             const std::vector<std::string_view>& parts) {
    std::size_t count = 0;
    std::ifstream file(log);
    for (std::string line; std::getline(file, line);) {
        bool all = true;
        for (const std::string_view part : parts) {
            all = all && line.find(part) != std::string::npos;
        }
        count += all ? 1 : 0;
    }
    return count;
}

bool WaitForDialogLine(const std::filesystem::path& log, const std::vector<std::string_view>& parts,
                       std::chrono::milliseconds limit, std::size_t count) {
    return zn::test::WaitFor([&] { return CountDialogLines(log, parts) >= count; }, limit);
}

bool WaitForCaption(const zn::test::Sandbox& sandbox, std::string_view caption,
                    std::chrono::milliseconds limit) {
    return zn::test::WaitFor(
        [&] { return WindowDirectory(sandbox.RuntimeFolder()).Find({}, caption).has_value(); },
        limit);
}

std::uint16_t FreePort() {
    return UnusedPortBelowEphemeralRange(SOCK_STREAM);
}

std::uint16_t FreeUdpPort() {
    return UnusedPortBelowEphemeralRange(SOCK_DGRAM);
}

}  // namespace zn::e2e
