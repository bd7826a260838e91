#include "console/ConsoleWindowController.h"

#include <algorithm>
#include <utility>

#include "console/ConsoleSettings.h"
#include "console/ConsoleTexts.h"
#include "console/ConsoleUi.h"
#include "console/ListenerNotification.h"
#include "console/OrderTexts.h"
#include "console/PageEvents.h"
#include "console/ProgramStarter.h"
#include "console/QueryValue.h"
#include "console/RequestService.h"
#include "console/RequestWorker.h"
#include "platform/Log.h"
#include "platform/ProgramFolder.h"
#include "platform/SoundPlayer.h"
#include "platform/Utf8.h"

namespace zn::console {

namespace {

constexpr std::string_view kLauncherName = "LaunchNubraClient";
constexpr std::uint32_t kNotifierBlue = 0x00C80000;  // red 0, green 0, blue 200
// As an order's popup, and its listener notification: the order's request text, event code 1.
constexpr int kReminderAppearMs = 500;
constexpr int kReminderVisibleMs = 8000;
constexpr int kReminderHideMs = 500;
constexpr int kReminderStep = 3;
constexpr std::uint32_t kOrderEventCode = 1;

// Often enough that a reminder comes at most a twelfth of its unit late.
std::chrono::milliseconds ReminderCheckPeriod(std::chrono::milliseconds unit) {
    return std::clamp(unit / 12, std::chrono::milliseconds(10), std::chrono::milliseconds(5000));
}

}  // namespace

ConsoleWindowController::ConsoleWindowController(ConsoleEnvironment environment,
                                                 IConsoleWindow& window, INotifierWidget& popup,
                                                 IProgressUi& progress, ISelfUpdate* selfUpdate)
    : m_environment(std::move(environment)),
      m_window(window),
      m_selfUpdate(selfUpdate),
      m_navigation([this] { m_window.PostToUiThread([this] { OnPendingNavigation(); }); }),
      m_notifier(popup, [this] { OnNotifierClicked(); }),
      m_lock(window, window, window),
      m_backOffice(m_environment.registry, window, m_login, m_environment.loginPageRetryPeriod),
      m_completion(CompletionContext{m_environment.registry, window, window, window, progress,
                                     m_navigation, m_login, m_lock, m_environment.programFolder}),
      m_messages(m_environment.messageLogFile.empty() ? DriveC() / kMessageLogFileName
                                                      : m_environment.messageLogFile),
      m_orders(m_environment.orderBookFile.empty() ? DriveC() / kOrderBookFileName
                                                   : m_environment.orderBookFile) {
    m_completion.ReportOutcomesTo(*this);
}

ConsoleWindowController::~ConsoleWindowController() = default;

void ConsoleWindowController::Start(std::optional<std::pair<int, int>> skinSize) {
    m_window.Navigate(ConsoleSettings(m_environment.registry).LoginPage());
    ConfigureNotifier(skinSize);
    if (m_selfUpdate != nullptr) {
        m_window.StartTimer(kUpdateTimerId, m_environment.updatePeriod);
    }
    m_window.StartTimer(kReminderTimerId, ReminderCheckPeriod(m_environment.reminderUnit));
    StartServices();
    m_hasTray = m_window.AddTrayIcon();
    OnOrdersChanged();
    if (!m_hasTray) {
        // Not modal: a popup's click must still bring the window up while the notice waits.
        m_window.ShowNotice(std::string(texts::kNoTrayText), std::string(texts::kNoTrayCaption),
                            MessageIcon::Information);
    }
}

void ConsoleWindowController::ConfigureNotifier(std::optional<std::pair<int, int>> skinSize) {
    if (skinSize) {
        m_notifier.SetSkinSize(skinSize->first, skinSize->second);
    }
    m_notifier.SetTextFonts("Arial", 90, 0, 4);
    m_notifier.SetTextColors(0, kNotifierBlue);
    m_notifier.SetTextArea({10, 40, m_notifier.SkinWidth() - 10, m_notifier.SkinHeight()});
    m_notifierReady = true;
}

void ConsoleWindowController::StartServices() {
    ServicePorts ports;
    if (m_environment.servicePorts) {
        ports = *m_environment.servicePorts;
    } else {
        // Ports are 16 bits; a larger stored number keeps its low bits.
        const ConsoleSettings settings(m_environment.registry);
        ports.listener = settings.LocalPort();
        ports.discovery = settings.BroadcastPort();
    }
    m_service = std::make_unique<RequestService>(
        RequestContext{m_environment.registry, m_environment.windows, m_login, m_navigation, *this,
                       m_environment.sound, m_environment.programFolder});
    // A port in use leaves that service off; the window opens in any case, and says so.
    if (!m_service->StartListener(ports.listener)) {
        ReportUnavailablePort(ports.listener, "seats' requests",
                              texts::kRequestPortUnavailableText);
    }
    if (!m_service->StartDiscoveryResponder(ports.discovery)) {
        ReportUnavailablePort(ports.discovery, "discovery", texts::kDiscoveryPortUnavailableText);
    }
}

void ConsoleWindowController::ReportUnavailablePort(std::uint16_t port, std::string_view service,
                                                    const std::string_view (&text)[2]) {
    log::Error("port {} for {} cannot be opened: in use by another program or not permitted", port,
               service);
    m_window.MessageBox(std::string(text[0]) + std::to_string(port) + std::string(text[1]),
                        std::string(texts::kPortUnavailableCaption), MessageIcon::Error,
                        MessageButtons::Ok);
}

bool ConsoleWindowController::Shutdown(std::chrono::steady_clock::time_point deadline) {
    m_navigation.Close();
    m_notifier.CloseQueue();
    m_orders.Flush();
    const bool stopped = !m_service || m_service->Stop(deadline);
    return stopped && m_reminderSounds.Running() == 0;
}

std::uint16_t ConsoleWindowController::ListenerPort() const {
    return m_service ? m_service->ListenerPort() : 0;
}

std::uint16_t ConsoleWindowController::DiscoveryPort() const {
    return m_service ? m_service->DiscoveryPort() : 0;
}

void ConsoleWindowController::OnCommand(int command) {
    switch (command) {
        case kCommandOk:
        case kCommandCancel:
            // Enter and Escape never close the window; only a confirmed exit does.
            if (m_exiting) {
                m_window.CloseWindow();
            }
            break;
        case texts::kCommandShow:
            if (m_lock.IsLocked()) {
                m_lock.OnShowCommand();
            } else {
                m_window.Show();
                m_window.Raise();
            }
            break;
        case texts::kCommandLock:
            m_lock.OnLockCommand();
            break;
        case texts::kCommandExit:
            ConfirmExit();
            break;
        case texts::kCommandMessages:
            ShowCustomerMessages();
            break;
        case texts::kCommandOrders:
            ShowTodayOrders();
            break;
        default:
            break;
    }
}

void ConsoleWindowController::ConfirmExit() {
    m_window.Raise();
    const MessageAnswer answer = m_window.MessageBox(std::string(texts::kExitConfirmText),
                                                     std::string(texts::kExitConfirmCaption),
                                                     MessageIcon::None, MessageButtons::OkCancel);
    if (answer != MessageAnswer::Ok) {
        return;
    }
    m_login.ClearLoggedIn();
    m_exiting = true;
    m_window.CloseWindow();
}

bool ConsoleWindowController::OnCloseRequested() {
    if (m_exiting) {
        if (m_hasTray) {
            m_window.RemoveTrayIcon();
        }
        return true;
    }
    if (!m_hasTray) {
        // Hidden without a tray icon, the window could never come back.
        m_window.Minimize();
        return false;
    }
    m_window.Hide();
    m_window.ShowBalloon(std::string(Utf8::Cut(texts::kBalloonTitle, texts::kBalloonTitleMaxBytes)),
                         std::string(Utf8::Cut(texts::kBalloonText, texts::kBalloonTextMaxBytes)));
    return false;
}

void ConsoleWindowController::OnTrayLeftClick() {
    if (m_lock.IsLocked()) {
        m_lock.OnTrayLeftClick();
        return;
    }
    m_window.Show();
    m_window.Raise();
}

void ConsoleWindowController::OnFocusLost() {
    m_lock.OnFocusLost();
}

PageOrigins ConsoleWindowController::ClickOrigins() const {
    const ConsoleSettings settings(m_environment.registry);
    PageOrigins origins;
    for (std::string address :
         {settings.LoginPage(), settings.MainPageMurvel(), settings.ViewTransPageMurvel(),
          settings.TransactionDone1Murvel(), settings.TransactionDone2Murvel(),
          settings.TransactionCancelMurvel()}) {
        if (!address.empty()) {
            origins.sites.push_back(std::move(address));
        }
    }
    // An operator's host moves the login page to https, a "www." host or another port.
    origins.followRedirects = true;
    return origins;
}

void ConsoleWindowController::OnClickRefused(const std::string& address) {
    m_window.MessageBox(std::string(texts::kClickRefusedText[0]) + address +
                            std::string(texts::kClickRefusedText[1]),
                        std::string(texts::kApplicationCaption), MessageIcon::Warning,
                        MessageButtons::Ok);
}

void ConsoleWindowController::OnPageClick(const std::string& id, const IPageValues& values) {
    switch (FindPageAction(id)) {
        case PageAction::None:
            break;
        case PageAction::Init:
            m_backOffice.OnInit(values);
            break;
        case PageAction::SubmitLogin:
            m_backOffice.OnSubmitLogin(values);
            break;
        case PageAction::CommitSuccess:
            m_completion.OnCommitSuccess(values);
            break;
        case PageAction::ConfirmLogin:
            m_backOffice.OnConfirmLogin(values);
            break;
        case PageAction::Logout:
            m_backOffice.OnLogout();
            break;
        case PageAction::ViewSeat:
            m_completion.OnViewSeat(values);
            break;
        case PageAction::CancelTransaction:
            m_completion.OnCancel(values);
            break;
        case PageAction::ReSend:
            m_completion.OnReSend(values);
            break;
        case PageAction::Display:
            m_completion.OnDisplay(values);
            break;
        case PageAction::LaunchClient:
            LaunchClient();
            break;
        case PageAction::TodayOrders:
            ShowTodayOrders();
            break;
    }
}

void ConsoleWindowController::LaunchClient() {
    m_environment.programs.StartProgram(m_environment.programFolder / "Content" / kLauncherName);
    m_window.Minimize();
}

void ConsoleWindowController::OnPageLoaded(const std::string& address) {
    m_backOffice.OnPageLoaded(address);
}

void ConsoleWindowController::OnPageLoadFailed(const std::string& address) {
    m_backOffice.OnPageLoadFailed(address);
}

void ConsoleWindowController::OnTimer(int id) {
    if (id == kUpdateTimerId && m_selfUpdate != nullptr) {
        m_selfUpdate->RunHourlyWork();
    } else if (id == kLoginPageRetryTimerId) {
        m_backOffice.OnLoginPageRetryTimer();
    } else if (id == kReminderTimerId) {
        RemindOfOpenOrders();
    }
}

void ConsoleWindowController::OnPendingNavigation() {
    for (std::string address = m_navigation.TakePending(); !address.empty();
         address = m_navigation.TakePending()) {
        m_window.Navigate(address);
    }
}

void ConsoleWindowController::OnNotifierClicked() {
    m_window.ShowMaximized();
    m_window.Raise();
    const std::string text = m_notifier.Paint().text;
    if (IsMessagePopupText(text)) {
        ShowCustomerMessages();
    } else if (!m_reminderText.empty() && text == m_reminderText) {
        OpenOrder(m_reminderSerial);
    }
}

void ConsoleWindowController::OpenOrder(const std::string& serial) {
    if (m_lock.IsLocked()) {
        m_lock.OnShowCommand();
        if (m_lock.IsLocked()) {
            return;
        }
    }
    m_window.Navigate(ConsoleSettings(m_environment.registry).ViewTransPageMurvel() +
                      "?transid=" + EncodeQueryValue(serial));
    m_window.ShowMaximized();
    m_window.Raise();
}

void ConsoleWindowController::ShowTodayOrders() {
    const std::vector<DayOrder> orders = m_orders.Today();
    m_window.ShowOrders(DescribeOrders(orders), OrdersSummaryText(orders));
}

void ConsoleWindowController::OnOrdersChanged() {
    m_orders.Flush();
    const std::vector<DayOrder> orders = m_orders.Today();
    m_window.UpdateOrders(DescribeOrders(orders), OrdersSummaryText(orders));
    const auto open = static_cast<std::size_t>(
        std::count_if(orders.begin(), orders.end(),
                      [](const DayOrder& order) { return order.state == OrderState::Open; }));
    if (m_shownOpenOrders != open) {
        m_shownOpenOrders = open;
        m_window.ShowOpenOrderCount(TrayTipText(open), OrdersButtonText(open));
    }
}

void ConsoleWindowController::PostOrdersChanged() {
    m_window.PostToUiThread([this] { OnOrdersChanged(); });
}

// Sounds while locked too: the lock guards the back office, not the cashier's ears.
void ConsoleWindowController::RemindOfOpenOrders() {
    const ConsoleSettings settings(m_environment.registry);
    const std::vector<OrderReminder> due = m_orders.TakeDueReminders(
        settings.ReminderMinutes(), settings.ReminderCount(), m_environment.reminderUnit);
    if (due.empty()) {
        // A new day forgets yesterday's open orders.
        if (m_shownOpenOrders != m_orders.OpenCount()) {
            OnOrdersChanged();
        }
        return;
    }
    for (const OrderReminder& reminder : due) {
        log::Info("order {} of seat {} is still open: reminded", log::Printable(reminder.serial),
                  log::Printable(reminder.seat));
        m_reminderText = ReminderText(reminder);
        m_reminderSerial = reminder.serial;
        if (m_notifierReady) {
            m_notifier.ShowText(m_reminderText, kReminderAppearMs, kReminderVisibleMs,
                                kReminderHideMs, kReminderStep);
        }
    }
    // The sound and the listeners may take seconds; the UI thread does not wait for them.
    std::vector<std::string> requests;
    for (const OrderReminder& reminder : due) {
        requests.push_back("O" + reminder.serial);
    }
    m_reminderSounds.Start([&environment = m_environment, requests = std::move(requests)] {
        environment.sound.PlayFileSync(environment.programFolder / kAlertSoundFileName);
        for (const std::string& request : requests) {
            NotifyListeners(environment.registry, environment.windows, request, kOrderEventCode);
        }
    });
    OnOrdersChanged();
}

void ConsoleWindowController::KeepOrder(const std::string& serial, const std::string& seat,
                                        const std::string& address) {
    if (!m_orders.Announce(serial, seat, address)) {
        log::Info("order {} is kept already (or has no serial): announced again",
                  log::Printable(serial));
        return;
    }
    PostOrdersChanged();
}

void ConsoleWindowController::OnCompleted(const std::string& transactionId, bool delivered) {
    if (!m_orders.Complete(transactionId, delivered)) {
        log::Info("completed transaction {} is not among today's orders",
                  log::Printable(transactionId));
        return;
    }
    PostOrdersChanged();
}

void ConsoleWindowController::OnResent(const std::string& transactionId, bool delivered) {
    if (m_orders.Resent(transactionId, delivered)) {
        PostOrdersChanged();
    }
}

void ConsoleWindowController::OnCancelled(const std::string& transactionId) {
    if (!m_orders.Cancel(transactionId)) {
        log::Info("cancelled transaction {} is not among today's orders",
                  log::Printable(transactionId));
        return;
    }
    PostOrdersChanged();
}

void ConsoleWindowController::ShowCustomerMessages() {
    m_window.ShowCustomerMessages(m_messages.Today());
}

void ConsoleWindowController::KeepCustomerMessage(const std::string& seat,
                                                  const std::string& address,
                                                  const std::string& text) {
    m_messages.Add(seat, address, text);
}

void ConsoleWindowController::ShowText(const std::string& text, int appearMs, int visibleMs,
                                       int hideMs, int step) {
    if (!m_notifierReady) {
        return;
    }
    m_notifier.ShowTextFromAnyThread(text, static_cast<std::uint32_t>(appearMs),
                                     static_cast<std::uint32_t>(visibleMs),
                                     static_cast<std::uint32_t>(hideMs), step);
}

void ConsoleWindowController::ShowMaximizedAndRaise() {
    m_window.PostToUiThread([this] {
        m_window.ShowMaximized();
        m_window.Raise();
    });
}

}  // namespace zn::console
