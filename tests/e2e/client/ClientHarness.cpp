#include "ClientHarness.h"

#include <fstream>
#include <thread>

#include "WaitFor.h"
#include "net/TcpSocket.h"

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

std::vector<std::string> ShopFront::ShopPages() const {
    const std::lock_guard lock(m_mutex);
    return m_pages;
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
            m_pages.push_back(body);
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
          for (std::string page = m_navigation.TakePending(); !page.empty();
               page = m_navigation.TakePending()) {
              const std::lock_guard lock(m_mutex);
              m_pages.push_back(std::move(page));
          }
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
                             std::string dialogAnswers)
    : ProgramProcess(sandbox, {.source = ZN_CLIENT_PROGRAM,
                               .name = "ZentrovaNubraClient",
                               .folder = SeatFolder(sandbox),
                               .arguments = std::move(arguments),
                               .output = sandbox.Path() / "client-output.txt",
                               .dialogLog = DialogLogFile(sandbox),
                               .dialogAnswers = std::move(dialogAnswers)}) {}

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
    return CountDialogLines(DialogLogFile(sandbox), parts);
}

bool WaitForDialogLine(const zn::test::Sandbox& sandbox, const std::vector<std::string_view>& parts,
                       std::chrono::milliseconds limit, std::size_t count) {
    return WaitForDialogLine(DialogLogFile(sandbox), parts, limit, count);
}

std::vector<std::string> ClientCaptions(const zn::test::Sandbox& sandbox) {
    std::vector<std::string> captions;
    for (const WindowEntry& entry : WindowDirectory(sandbox.RuntimeFolder()).List()) {
        captions.push_back(entry.caption);
    }
    return captions;
}

std::uint16_t FreePort() {
    CTcpSocket probe;
    if (!probe.Create(0)) {
        return 0;
    }
    return ntohs(probe.Local().sin_port);
}

}  // namespace zn::e2e
