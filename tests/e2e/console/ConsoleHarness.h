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

#include <httplib.h>

#include "ProgramProcess.h"
#include "ProgramTraces.h"
#include "Sandbox.h"
#include "WebHost.h"
#include "net/TcpSocket.h"

namespace zn::e2e {

// The back office as the console sees it: the local web host behind a recording front on its own
// loopback port. Every page gets a small script in its head that keeps asking the front for the
// next step meant for its path (a line of script), so a test can fill in and click in the page
// of the running console. "/test/iframe-login.jsp" is the login page with an iframe added.
class BackOfficeFront {
public:
    // On this loopback port (0: any free one), in front of a web host of its own on the source
    // tree's pages, or of the one that already serves at `hostPort` on loopback.
    explicit BackOfficeFront(std::uint16_t port = 0, std::uint16_t hostPort = 0);
    ~BackOfficeFront();

    // "http://127.0.0.1:<front port>" followed by the path (and query).
    std::string Address(std::string_view path) const;
    // The path and query of every page served (as the browser sent them), in order.
    std::vector<std::string> ServedPages() const;
    // The first page served whose path and query begin with `prefix`, as the web host rendered
    // it; empty when there was none.
    std::string PageBody(std::string_view prefix) const;
    // True once `count` pages whose path and query begin with `prefix` were served.
    bool WaitForPage(std::string_view prefix, std::chrono::milliseconds limit,
                     std::size_t count = 1) const;
    // The next page at this path that asks runs the script once.
    void Queue(std::string path, std::string script);
    // A shop order of one game card from the seat at 127.0.0.1; its serial, empty on failure.
    std::string CreateOrder(std::string_view seat);

private:
    void Forward(const httplib::Request& request, httplib::Response& response,
                 std::string_view hostTarget);

    webhost::WebHost m_host;
    int m_hostPort = 0;
    httplib::Server m_front;
    int m_frontPort = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_served;
    std::vector<std::string> m_bodies;                         // of m_served
    std::vector<std::pair<std::string, std::string>> m_steps;  // path, script
};

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
