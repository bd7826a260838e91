#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "BackOfficeFront.h"
#include "ProgramProcess.h"
#include "ProgramTraces.h"
#include "Sandbox.h"
#include "net/TcpSocket.h"

namespace zn::e2e {

// A seat played by the test at 127.0.0.1: it greets and orders over a request connection, and
// keeps every page that the console pushes to its feedback port.
class ScriptedSeat {
public:
    ScriptedSeat();
    ~ScriptedSeat();

    std::uint16_t FeedbackPort() const { return m_feedbackPort; }
    // The seat goes away: its feedback port refuses connections from now on.
    void Leave();

    // The bodies of the frames received on the feedback port, as bytes, in order.
    std::vector<std::string> Pages() const;
    bool WaitForPages(std::size_t count, std::chrono::milliseconds limit) const;

    // Opens a request connection to the console's port: the greeting's text (GBK, without its
    // NUL), or nullopt when the console closed the connection without one.
    std::optional<std::string> Greet(std::uint16_t consolePort);
    // Keeps greeting until a greeting comes (the console admits seats only once logged in).
    std::optional<std::string> GreetWhenAdmitted(std::uint16_t consolePort,
                                                 std::chrono::milliseconds limit);
    // On the open request connection: "O" and the serial, as a frame.
    bool Order(std::string_view serial);

private:
    void Serve();

    CTcpSocket m_feedback;
    std::uint16_t m_feedbackPort = 0;
    std::thread m_thread;
    std::unique_ptr<CTcpSocket> m_request;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_pages;
};

// The console's settings in the sandbox's registry: back-office pages at the front, free ports.
struct ConsolePorts {
    std::uint16_t local = 0;
    std::uint16_t remote = 0;
    std::uint16_t broadcast = 0;
};
void WriteConsoleSettings(const BackOfficeFront& front, const ConsolePorts& ports,
                          std::string_view loginPath = "/wb/loginsyt.jsp");

// Which program file runs: the product, or the test driver that also takes tray commands, runs
// the hourly update work every N ms when given "--update-period-ms=N", and logs the window's
// state changes ("Window state: maximized").
enum class ConsoleProgram { Product, Driver };

// The real console program from a link (or copy) of the program file in `folder` (its program
// folder and working folder).
class ConsoleProcess : public ProgramProcess {
public:
    ConsoleProcess(const zn::test::Sandbox& sandbox, const std::filesystem::path& folder,
                   const std::filesystem::path& dialogLog, std::string dialogAnswers,
                   ConsoleProgram program = ConsoleProgram::Product,
                   std::vector<std::string> arguments = {});

    // Driver only: a tray menu command, as if chosen from the menu.
    bool SendTrayCommand(int command);
};

// A loopback port that nothing uses and that the system does not hand out by itself.
std::uint16_t FreePort();
std::uint16_t FreeUdpPort();

}  // namespace zn::e2e
