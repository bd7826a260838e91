#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "client/ClientUi.h"
#include "client/ConsoleFinder.h"
#include "client/CurrentConsole.h"
#include "net/TcpSocket.h"

namespace zn::client {

struct RequestLinkOptions {
    // Bound on connecting to the console and on its greeting: a console that accepts and never
    // greets must not hold the start for good.
    std::chrono::milliseconds greetingLimit{10000};
    FinderOptions finder;
    // The seat's own IPv4 address, dotted; empty function: the system's (NetworkInfo).
    std::function<std::optional<std::string>()> ownAddress;
};

// The seat's long-lived request connection to the console. Used on the user-interface thread.
class RequestLink {
public:
    // `console` is set to the address of each request connection made; one that could not be
    // made leaves it as it was.
    RequestLink(ILinkUi& ui, const ClientSettings& settings, CurrentConsole& console,
                std::string launchParameter, RequestLinkOptions options = {});

    // Finds the console, reads its greeting and opens the shop page with it. On failure shows the
    // message and the connection error dialog, and tries again as the customer chooses. False when
    // the customer gave up: the main window has then been asked to close.
    bool ConnectAndOpen();
    // Sends the order from the shop page; at the counter a sent order ends the program.
    void SendOrder(std::string_view serial, std::string_view platformId);
    // Sends a customer's text message and confirms it.
    void SendMessage(std::string_view text);

private:
    // The message text of a failure, nullopt when the shop page was opened.
    std::optional<std::string_view> TryOpen();
    bool ConnectTo(std::optional<std::uint32_t> console);
    std::optional<std::string> ReadGreeting();
    void Reconnect();
    bool SendWithRetry(std::span<const std::byte> body);

    ILinkUi& m_ui;
    const ClientSettings& m_settings;
    CurrentConsole& m_console;
    std::string m_launchParameter;
    RequestLinkOptions m_options;
    ConsoleFinder m_finder;
    CTcpSocket m_request;
    // A request connection carries one request; the console reads no second one on it.
    bool m_requestSent = false;
};

}  // namespace zn::client
