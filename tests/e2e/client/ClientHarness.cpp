#include "ClientHarness.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "WaitFor.h"
#include "net/TcpSocket.h"

extern char** environ;

namespace zn::e2e {
namespace {

using namespace std::chrono_literals;

// Asks the front for the test's next step ten times a second; a step is a line of script.
constexpr std::string_view kControlScript = R"(<script>
(function () {
  function poll() {
    fetch('/test/action').then(function (r) { return r.text(); }).then(function (step) {
      if (step) { (0, eval)(step); }
    }).catch(function () {}).finally(function () { setTimeout(poll, 100); });
  }
  poll();
})();
</script>
)";

}  // namespace

ShopFront::ShopFront()
    : m_host(webhost::WebHostConfig{.pagesFolder = ZN_WEBHOST_PAGES_DIR, .logRequests = false}) {
    m_hostPort = m_host.Start(0).value_or(0);
    m_front.Get("/test/action", [this](const httplib::Request&, httplib::Response& response) {
        std::string step;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_scripts.empty()) {
                step = m_scripts.front();
                m_scripts.erase(m_scripts.begin());
            }
        }
        response.set_content(step, "text/javascript");
    });
    m_front.Get(".*", [this](const httplib::Request& q, httplib::Response& r) { Forward(q, r); });
    m_front.Post(".*", [this](const httplib::Request& q, httplib::Response& r) { Forward(q, r); });
    m_frontPort = m_front.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_front.listen_after_bind(); });
    zn::test::WaitFor([this] { return m_front.is_running(); });
}

ShopFront::~ShopFront() {
    m_front.stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_host.Stop();
}

std::string ShopFront::MainPage() const {
    return "http://127.0.0.1:" + std::to_string(m_frontPort) + "/wb/indexc.jsp";
}

std::vector<std::string> ShopFront::ShopQueries() const {
    const std::lock_guard lock(m_mutex);
    return m_queries;
}

bool ShopFront::WaitForShopQueries(std::size_t count, std::chrono::milliseconds limit) const {
    return zn::test::WaitFor([&] { return ShopQueries().size() >= count; }, limit);
}

void ShopFront::Queue(std::string script) {
    const std::lock_guard lock(m_mutex);
    m_scripts.push_back(std::move(script));
}

void ShopFront::Forward(const httplib::Request& request, httplib::Response& response) {
    httplib::Client host("127.0.0.1", m_hostPort);
    const auto type = request.get_header_value("Content-Type");
    const auto answer = request.method == "POST" ? host.Post(request.target, request.body, type)
                                                 : host.Get(request.target);
    if (!answer) {
        response.status = 502;
        return;
    }
    response.status = answer->status;
    std::string body = answer->body;
    if (request.path == "/wb/indexc.jsp") {
        {
            const std::lock_guard lock(m_mutex);
            const auto query = request.target.find('?');
            m_queries.push_back(query == std::string::npos ? "" : request.target.substr(query + 1));
        }
        const auto end = body.rfind("</body>");
        body.insert(end == std::string::npos ? body.size() : end, kControlScript);
    }
    response.set_content(body, answer->get_header_value("Content-Type"));
}

TestConsole::TestConsole(const std::filesystem::path& folder, std::uint16_t seatFeedbackPort)
    : m_registry(Registry::DefaultFolder()),
      m_windows(WindowDirectory::DefaultFolder()),
      m_navigation([this] {
          std::string page = m_navigation.TakePending();
          const std::lock_guard lock(m_mutex);
          m_pages.push_back(std::move(page));
      }),
      m_folder(folder) {
    m_registry.CreateKey(RegistryRoot::LocalMachine, "SOFTWARE\\Pexora\\ZentrovaConsole")
        ->SetDword("RemotePort", seatFeedbackPort);
}

TestConsole::~TestConsole() {
    Stop();
}

bool TestConsole::Start(std::uint16_t port) {
    m_service = std::make_unique<console::RequestService>(console::RequestContext{
        m_registry, m_windows, m_login, m_navigation, *this, *this, m_folder});
    if (!m_service->StartListener(port)) {
        return false;
    }
    m_port = m_service->ListenerPort();
    return true;
}

void TestConsole::Stop() {
    m_service.reset();
}

void TestConsole::LogIn() {
    m_login.RecordLogin("12");
}

std::vector<std::string> TestConsole::TransactionPages() const {
    const std::lock_guard lock(m_mutex);
    return m_pages;
}

std::vector<std::string> TestConsole::Popups() const {
    const std::lock_guard lock(m_mutex);
    return m_popups;
}

int TestConsole::CounterRaises() const {
    const std::lock_guard lock(m_mutex);
    return m_raises;
}

bool TestConsole::WaitForTransactionPages(std::size_t count,
                                          std::chrono::milliseconds limit) const {
    return zn::test::WaitFor([&] { return TransactionPages().size() >= count; }, limit);
}

void TestConsole::ShowText(const std::string& text, int, int, int, int) {
    const std::lock_guard lock(m_mutex);
    m_popups.push_back(text);
}

void TestConsole::ShowMaximizedAndRaise() {
    const std::lock_guard lock(m_mutex);
    ++m_raises;
}

std::filesystem::path SeatFolder(const zn::test::Sandbox& sandbox) {
    return sandbox.Path() / "seat";
}

std::filesystem::path DialogLogFile(const zn::test::Sandbox& sandbox) {
    return sandbox.Path() / "dialogs.jsonl";
}

ClientProcess::ClientProcess(const zn::test::Sandbox& sandbox, std::vector<std::string> arguments,
                             std::string dialogAnswers) {
    const auto seat = SeatFolder(sandbox);
    const auto program = seat / "ZentrovaNubraClient";
    const auto browserRuntime = sandbox.Path() / "xdg-run";
    std::error_code error;
    std::filesystem::create_directories(seat, error);
    std::filesystem::create_directories(browserRuntime, error);
    std::filesystem::permissions(browserRuntime, std::filesystem::perms::owner_all, error);
    if (!std::filesystem::exists(program)) {
        // The program folder matters: a link, or else a copy, of the program file.
        std::filesystem::create_hard_link(ZN_CLIENT_PROGRAM, program, error);
        if (error) {
            std::filesystem::copy_file(ZN_CLIENT_PROGRAM, program, error);
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
    environment["ZENTROVA_DIALOG_LOG"] = DialogLogFile(sandbox).string();
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

    std::string programText = program.string();
    std::vector<char*> argv{programText.data()};
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    const std::string output = (sandbox.Path() / "client-output.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, seat.c_str());
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (posix_spawn(&m_pid, programText.c_str(), &actions, nullptr, argv.data(), envp.data()) !=
        0) {
        m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

ClientProcess::~ClientProcess() {
    if (Running()) {
        kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
}

bool ClientProcess::Running() {
    if (m_pid <= 0 || m_exitCode) {
        return false;
    }
    int status = 0;
    const pid_t ended = waitpid(m_pid, &status, WNOHANG);
    if (ended == 0) {
        return true;
    }
    m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::optional<int> ClientProcess::WaitForExit(std::chrono::milliseconds limit) {
    zn::test::WaitFor([this] { return !Running(); }, limit);
    return m_exitCode;
}

std::vector<std::string> DialogLines(const zn::test::Sandbox& sandbox) {
    std::vector<std::string> lines;
    std::ifstream file(DialogLogFile(sandbox));
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::size_t CountDialogLines(const zn::test::Sandbox& sandbox,
                             const std::vector<std::string_view>& parts) {
    std::size_t count = 0;
    for (const std::string& line : DialogLines(sandbox)) {
        bool all = true;
        for (const std::string_view part : parts) {
            all = all && line.find(part) != std::string::npos;
        }
        count += all ? 1 : 0;
    }
    return count;
}

bool WaitForDialogLine(const zn::test::Sandbox& sandbox, const std::vector<std::string_view>& parts,
                       std::chrono::milliseconds limit, std::size_t count) {
    return zn::test::WaitFor([&] { return CountDialogLines(sandbox, parts) >= count; }, limit);
}

std::vector<std::string> ClientCaptions(const zn::test::Sandbox& sandbox) {
    std::vector<std::string> captions;
    for (const WindowEntry& entry : WindowDirectory(sandbox.RuntimeFolder()).List()) {
        captions.push_back(entry.caption);
    }
    return captions;
}

bool WaitForCaption(const zn::test::Sandbox& sandbox, std::string_view caption,
                    std::chrono::milliseconds limit) {
    return zn::test::WaitFor(
        [&] { return WindowDirectory(sandbox.RuntimeFolder()).Find({}, caption).has_value(); },
        limit);
}

std::uint16_t FreePort() {
    CTcpSocket probe;
    if (!probe.Create(0)) {
        return 0;
    }
    return ntohs(probe.Local().sin_port);
}

}  // namespace zn::e2e
