#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ProgramProcess.h"
#include "ProgramTraces.h"
#include "Sandbox.h"
#include "console/LoginState.h"
#include "console/NavigationHandOver.h"
#include "console/RequestService.h"
#include "console/RequestUi.h"
#include "platform/Registry.h"
#include "platform/SoundPlayer.h"
#include "platform/WindowDirectory.h"

namespace zn::e2e {

// The counter: the console's own request service (logged in, or not), recording its reactions.
class TestConsole : public console::IRequestUi, public ISoundPlayer {
public:
    // Pages it pushes come from `folder`; `seatFeedbackPort` is its "RemotePort".
    TestConsole(const std::filesystem::path& folder, std::uint16_t seatFeedbackPort);
    ~TestConsole() override;

    // Listens on the port (0: any); false when it cannot.
    bool Start(std::uint16_t port = 0);
    void Stop();
    std::uint16_t Port() const { return m_port; }
    void LogIn();

    // "ViewTransPage_Murvel" addresses the counter opened, in order.
    std::vector<std::string> TransactionPages() const;
    std::vector<std::string> Popups() const;
    int CounterRaises() const;
    bool WaitForTransactionPages(std::size_t count, std::chrono::milliseconds limit) const;

    void ShowText(const std::string& text, int, int, int, int) override;
    void ShowMaximizedAndRaise() override;
    void KeepCustomerMessage(const std::string&, const std::string&, const std::string&) override {}
    void KeepOrder(const std::string&, const std::string&, const std::string&) override {}
    void PlayFileSync(const std::filesystem::path&) override {}

private:
    Registry m_registry;
    WindowDirectory m_windows;
    console::LoginState m_login;
    console::NavigationHandOver m_navigation;
    std::filesystem::path m_folder;
    std::unique_ptr<console::RequestService> m_service;
    std::uint16_t m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_pages;
    std::vector<std::string> m_popups;
    int m_raises = 0;
};

// The real ZentrovaNubraClient from a link (or copy) of the program file in the sandbox's seat
// folder (the program folder, where "MyZentrova2.html" is written) and with the seat folder as its
// working directory (settings files).
class ClientProcess : public ProgramProcess {
public:
    ClientProcess(const zn::test::Sandbox& sandbox, std::vector<std::string> arguments,
                  std::string dialogAnswers);
};

// Folder of the seat's program copy, settings and pages below the sandbox.
std::filesystem::path SeatFolder(const zn::test::Sandbox& sandbox);
std::filesystem::path DialogLogFile(const zn::test::Sandbox& sandbox);

// The dialog log's lines, as written.
std::vector<std::string> DialogLines(const zn::test::Sandbox& sandbox);
// Lines that hold every one of the parts.
std::size_t CountDialogLines(const zn::test::Sandbox& sandbox,
                             const std::vector<std::string_view>& parts);
bool WaitForDialogLine(const zn::test::Sandbox& sandbox, const std::vector<std::string_view>& parts,
                       std::chrono::milliseconds limit, std::size_t count = 1);

// Captions of the client's published windows.
std::vector<std::string> ClientCaptions(const zn::test::Sandbox& sandbox);

// A free loopback TCP port at the moment of the call.
std::uint16_t FreePort();

}  // namespace zn::e2e
