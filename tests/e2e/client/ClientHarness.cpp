#include "ClientHarness.h"

#include <fstream>

#include "WaitFor.h"
#include "net/TcpSocket.h"

namespace zn::e2e {

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
