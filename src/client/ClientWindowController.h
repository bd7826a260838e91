#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/ClientSettings.h"
#include "client/ClientUi.h"
#include "client/ClientWindow.h"
#include "client/FeedbackListener.h"
#include "client/FeedbackScreen.h"
#include "client/LinkWorker.h"
#include "client/RequestLink.h"
#include "common/PageEvents.h"
#include "common/PageOrigins.h"

namespace zn {
class Registry;
}

namespace zn::client {

enum class ClientAction { None, Init, Refresh, Submit, TextSubmit, Ok, Cancel, Main, SetTrust };

// Clicks on elements with these ids in any page of the main window call client actions.
inline constexpr std::array<PageEvent<ClientAction>, 8> kClientPageEvents = {{
    {"Init", ClientAction::Init},
    {"ButtonOnRefresh", ClientAction::Refresh},
    {"ButtonOnSubmit", ClientAction::Submit},
    {"ButtonOnTextSubmit", ClientAction::TextSubmit},
    {"ButtonOK", ClientAction::Ok},
    {"ButtonCancel", ClientAction::Cancel},
    {"ButtonMain", ClientAction::Main},
    {"ButtonSetTrust", ClientAction::SetTrust},
}};

// None for ids outside the table (compared exactly).
ClientAction FindClientAction(std::string_view id);

// The window's commands: Enter and Escape.
inline constexpr int kCommandOk = 1;
inline constexpr int kCommandCancel = 2;

// The value of a page element by id at the click; the empty text when the page has none.
using PageValueReader = std::function<std::string(std::string_view id)>;

struct ClientEnvironment {
    const Registry& registry;  // HKEY_CURRENT_USER's zone map
    ClientSettings settings;
    std::filesystem::path programFolder;  // where "MyZentrova2.html" is stored
    std::string launchParameter;
    RequestLinkOptions link;
    // nullopt: "LocalPort" from the settings.
    std::optional<std::uint16_t> feedbackPort;
};

// Everything the seat client's main window decides: set-up, the page event table, the close
// question and the end. The link to the counter works on a link thread of its own (one job at a
// time, in order), so that the window keeps painting while it connects or sends; `linkUi` serves
// that thread. UI thread only.
class ClientWindowController {
public:
    ClientWindowController(ClientEnvironment environment, IClientWindow& window, ILinkUi& linkUi);
    ~ClientWindowController();
    ClientWindowController(const ClientWindowController&) = delete;
    ClientWindowController& operator=(const ClientWindowController&) = delete;

    // First step of the set-up, before the browser exists: the shop's domain as a trusted site.
    void TrustShopDomain();
    // The listener on the feedback port, then (on the link thread) connecting and opening the
    // shop, then the window shown maximised and raised. False, having done nothing, when the
    // port cannot be had: the program then ends without a word.
    bool Start();

    // The pages whose clicks the page event table answers: the shop's (scheme, host and port of
    // "MainPage"), those of the shop's domain and of the sites it registered as trusted in this
    // run, and the seat's own files in its program folder.
    PageOrigins ClickOrigins() const;
    void OnPageClick(const std::string& id, const PageValueReader& value);
    void OnCommand(int command);
    // The close box, Alt+F4 or a close request: true when the window may end (the listener is
    // then stopped and its threads joined).
    bool OnCloseRequested();

    // After the event loop: stops the listener, drops link jobs that have not started and waits
    // up to `limit` for the running one. False when it still runs: the program must then end
    // without destroying this object.
    bool Shutdown(std::chrono::milliseconds limit);

    std::uint16_t FeedbackPort() const { return m_feedback.Port(); }
    bool IsEnding() const { return m_ending; }

private:
    // Sites registered as trusted in this run whose pages may click; beyond this many, later ones
    // are not taken.
    static constexpr std::size_t kMaxTrustedHosts = 256;

    void RememberTrustedHost(std::string host);
    void PostLinkJob(std::function<void()> job);
    void End();

    ClientEnvironment m_environment;
    IClientWindow& m_window;
    std::vector<std::string> m_trustedHosts;
    bool m_ending = false;
    FeedbackScreen m_screen;
    CurrentConsole m_console;
    FeedbackListener m_feedback;
    RequestLink m_request;  // link thread only
    LinkWorker m_link;      // last: its jobs end before what they use goes
};

}  // namespace zn::client
