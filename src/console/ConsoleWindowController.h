#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "common/PageOrigins.h"
#include "console/BackOffice.h"
#include "console/ConsoleLock.h"
#include "console/LoginState.h"
#include "console/MessageLog.h"
#include "console/NavigationHandOver.h"
#include "console/OrderBook.h"
#include "console/RequestUi.h"
#include "console/SenderGroup.h"
#include "console/TaskbarNotifier.h"
#include "console/TransactionCompletion.h"

namespace zn {
class ISoundPlayer;
class Registry;
class WindowDirectory;
}  // namespace zn

namespace zn::console {

class IConsoleWindow;
class IPageValues;
class IProgramStarter;
class IProgressUi;
class ISelfUpdate;
class RequestService;

inline constexpr int kUpdateTimerId = 1171;
inline constexpr std::chrono::milliseconds kUpdateTimerPeriod{3'600'000};
inline constexpr int kCommandOk = 1;
inline constexpr int kCommandCancel = 2;
inline constexpr int kNotifierSkinResource = 130;
inline constexpr int kReminderTimerId = 1173;
// The unit of "ReminderMinutes"; shorter only in tests.
inline constexpr std::chrono::milliseconds kReminderUnit{60'000};

// Ports of the request listener and the discovery responder (0: any free port).
struct ServicePorts {
    std::uint16_t listener = 0;
    std::uint16_t discovery = 0;
};

struct ConsoleEnvironment {
    const Registry& registry;
    const WindowDirectory& windows;  // listener windows told of requests
    ISoundPlayer& sound;
    IProgramStarter& programs;  // the seat launcher
    std::filesystem::path programFolder;
    // nullopt: "LocalPort" and "BroadcastPort" from the settings.
    std::optional<ServicePorts> servicePorts;
    std::chrono::milliseconds loginPageRetryPeriod = kLoginPageRetryPeriod;
    std::chrono::milliseconds updatePeriod = kUpdateTimerPeriod;  // shorter only in tests
    // The day's customer messages; empty: kMessageLogFileName in DriveC().
    std::filesystem::path messageLogFile = {};
    // The day's orders; empty: kOrderBookFileName in DriveC().
    std::filesystem::path orderBookFile = {};
    std::chrono::milliseconds reminderUnit = kReminderUnit;
};

// Everything the console's main window decides: start-up, tray commands, closing, the page
// event table, the lock, the popup, the day's orders and their reminders, and the hand-overs from
// worker threads. The Qt window forwards its events here and implements IConsoleWindow; the popup
// widget implements INotifierWidget. UI thread only, except the IRequestUi methods (worker
// threads) and the IOrderOutcomes methods (sender threads).
class ConsoleWindowController final : public IRequestUi, private IOrderOutcomes {
public:
    // `selfUpdate` may be null: no update timer runs then.
    ConsoleWindowController(ConsoleEnvironment environment, IConsoleWindow& window,
                            INotifierWidget& popup, IProgressUi& progress,
                            ISelfUpdate* selfUpdate = nullptr);
    ~ConsoleWindowController() override;
    ConsoleWindowController(const ConsoleWindowController&) = delete;
    ConsoleWindowController& operator=(const ConsoleWindowController&) = delete;

    // The main window's set-up once it exists: the login page, the popup (with the skin's size,
    // nullopt when the skin did not load), the update timer, the request listener and discovery
    // responder, the tray icon (or, without a tray, one notice).
    void Start(std::optional<std::pair<int, int>> skinSize);

    // Tray menu commands and the dialog keys (1: Enter, 2: Escape).
    void OnCommand(int command);
    // The close box, Alt+F4 or CloseWindow: true when the window may really close (exiting).
    bool OnCloseRequested();
    void OnTrayLeftClick();
    void OnFocusLost();
    // The pages whose clicks the page event table answers: those of the sites of the configured
    // page addresses, and wherever the server's redirects from them led.
    PageOrigins ClickOrigins() const;
    void OnPageClick(const std::string& id, const IPageValues& values);
    // A click from a page outside ClickOrigins was refused (once for each origin): the cashier is
    // told, as nothing he does on that page acts.
    void OnClickRefused(const std::string& address);
    void OnPageLoaded(const std::string& address);
    void OnPageLoadFailed(const std::string& address);
    void OnTimer(int id);
    // The handler of the navigation hand-over, posted to the UI thread: navigates to every
    // address handed over so far, in order.
    void OnPendingNavigation();
    void OnNotifierClicked();
    // A row of "今日订单" was opened: its transaction page in the main window, shown as for a new
    // order (the lock's password first while locked).
    void OpenOrder(const std::string& serial);

    // The event loop has ended: nothing more is handed to the UI thread, the request service
    // stops and its workers get until `deadline` to end. False when some are still running
    // (they end with the process).
    bool Shutdown(std::chrono::steady_clock::time_point deadline);

    // IRequestUi, for the request workers.
    void ShowText(const std::string& text, int appearMs, int visibleMs, int hideMs,
                  int step) override;
    void ShowMaximizedAndRaise() override;
    void KeepCustomerMessage(const std::string& seat, const std::string& address,
                             const std::string& text) override;
    void KeepOrder(const std::string& serial, const std::string& seat,
                   const std::string& address) override;

    CTaskbarNotifier& Notifier() { return m_notifier; }
    LoginState& Login() { return m_login; }
    NavigationHandOver& Navigation() { return m_navigation; }
    const ConsoleLock& Lock() const { return m_lock; }
    BackOffice& BackOfficePages() { return m_backOffice; }
    TransactionCompletion& Completion() { return m_completion; }
    bool IsExiting() const { return m_exiting; }
    bool HasTray() const { return m_hasTray; }
    // The listener's and responder's ports once started, else 0.
    std::uint16_t ListenerPort() const;
    std::uint16_t DiscoveryPort() const;

private:
    void ConfigureNotifier(std::optional<std::pair<int, int>> skinSize);
    void StartServices();
    void ReportUnavailablePort(std::uint16_t port, std::string_view service,
                               const std::string_view (&text)[2]);
    void ConfirmExit();
    void LaunchClient();
    void ShowCustomerMessages();
    void ShowTodayOrders();
    // UI thread, after any change of the day's orders.
    void OnOrdersChanged();
    void PostOrdersChanged();
    void RemindOfOpenOrders();
    // IOrderOutcomes, from the back office's actions.
    void OnCompleted(const std::string& transactionId, bool delivered) override;
    void OnResent(const std::string& transactionId, bool delivered) override;
    void OnCancelled(const std::string& transactionId) override;

    ConsoleEnvironment m_environment;
    IConsoleWindow& m_window;
    ISelfUpdate* m_selfUpdate;
    LoginState m_login;
    NavigationHandOver m_navigation;
    CTaskbarNotifier m_notifier;
    std::atomic<bool> m_notifierReady = false;
    ConsoleLock m_lock;
    BackOffice m_backOffice;
    TransactionCompletion m_completion;
    MessageLog m_messages;
    OrderBook m_orders;
    std::optional<std::size_t> m_shownOpenOrders;
    // The last reminder's popup text and its order, which a click on that popup opens.
    std::string m_reminderText;
    std::string m_reminderSerial;
    SenderGroup m_reminderSounds;  // the alert sound and the listeners of each reminder
    bool m_exiting = false;
    bool m_hasTray = true;
    // Last: its workers end before anything they use goes.
    std::unique_ptr<RequestService> m_service;
};

}  // namespace zn::console
