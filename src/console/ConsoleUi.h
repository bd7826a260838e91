#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/MessageLog.h"
#include "console/OrderTexts.h"

namespace zn::console {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

// The outer HTML of a page part in UTF-8, or nullopt when the page has no such element.
using MarkupReady = std::function<void(std::optional<std::string> html)>;
// The seat number (or "未知") for an address typed into the seat viewer.
using SeatLookUp = std::function<std::string(const std::string& address)>;

// The console's main window as the core drives it, one interface per concern so that each part
// of the core takes only what it uses; the Qt main window implements them all. UI thread only,
// except IEventLoop::PostToUiThread.
class IWindowFrame {
public:
    virtual ~IWindowFrame() = default;

    // Every way of showing brings a minimised window back.
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void ShowMaximized() = 0;
    // Restored to a normal size that shows the login form whole, and shown.
    virtual void ShowNormal() = 0;
    virtual void Minimize() = 0;
    // Top of the window order (not topmost, not moved or sized) and activated; a hidden window
    // stays hidden.
    virtual void Raise() = 0;
    // False while the window is hidden or minimised.
    virtual bool IsShown() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // The wait cursor over the program's windows, until EndWaitCursor.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // Ends the window for good: the Qt close path, which asks OnCloseRequested.
    virtual void CloseWindow() = 0;
};

// The embedded browser.
class IPageView {
public:
    virtual ~IPageView() = default;

    virtual void Navigate(const std::string& address) = 0;
    // Nothing happens on a page without the element.
    virtual void SetElementValue(const std::string& id, const std::string& value) = 0;
    // `done` runs later on the UI thread, and never after the window's event loop has ended.
    virtual void ReadDocumentOuterHtml(MarkupReady done) = 0;
};

// Dialogs owned by the main window; each returns when it has closed, except ShowNotice.
class IDialogs {
public:
    virtual ~IDialogs() = default;

    virtual MessageAnswer MessageBox(const std::string& text, const std::string& caption,
                                     MessageIcon icon, MessageButtons buttons) = 0;
    // A message with an OK button that returns at once and leaves every window usable while it
    // stays open.
    virtual void ShowNotice(const std::string& text, const std::string& caption,
                            MessageIcon icon) = 0;
    // The password prompt (hidden characters, OK and Cancel): the typed text, nullopt on Cancel.
    virtual std::optional<std::string> PromptPassword(const std::string& caption) = 0;
    virtual void ShowTransactionView(const std::filesystem::path& pageFile) = 0;
    virtual void ShowSeatViewer(const std::string& address, SeatLookUp lookUp) = 0;
    // The day's customer messages, newest first.
    virtual void ShowCustomerMessages(const std::vector<CustomerMessage>& messages) = 0;
};

// "今日订单" and the count of open orders where the cashier sees it. Opening a row of the window
// calls the controller's OpenOrder.
class IOrdersView {
public:
    virtual ~IOrdersView() = default;

    // Opens the window (not modal) or brings it up, with these rows.
    virtual void ShowOrders(const std::vector<OrderRow>& rows, const std::string& summary) = 0;
    // New rows for the window if it is open.
    virtual void UpdateOrders(const std::vector<OrderRow>& rows, const std::string& summary) = 0;
    // The tray icon's tip and the main window's button that opens the orders.
    virtual void ShowOpenOrderCount(const std::string& trayTip, const std::string& buttonText) = 0;
};

class ITray {
public:
    virtual ~ITray() = default;

    // Adds the tray icon with its tip and menu; false when the desktop has no system tray.
    virtual bool AddTrayIcon() = 0;
    virtual void RemoveTrayIcon() = 0;
    virtual void SetLockChecked(bool checked) = 0;
    virtual void ShowBalloon(const std::string& title, const std::string& text) = 0;
};

class IEventLoop {
public:
    virtual ~IEventLoop() = default;

    // Any thread: runs the job on the UI thread later; never once the event loop has ended.
    virtual void PostToUiThread(std::function<void()> job) = 0;
    // A periodic timer that calls the controller's OnTimer with its id.
    virtual void StartTimer(int id, std::chrono::milliseconds period) = 0;
};

class IConsoleWindow : public IWindowFrame,
                       public IPageView,
                       public IDialogs,
                       public ITray,
                       public IOrdersView,
                       public IEventLoop {};

// The connecting-progress window for sender threads. Both calls may come from any thread.
class IProgressUi {
public:
    using Ticket = std::uint64_t;
    virtual ~IProgressUi() = default;
    // Shows a window with the text and returns once it is shown (0 when it was not shown).
    virtual Ticket Open(const std::string& text) = 0;
    // Closes it and returns once it is closed; 0 is ignored.
    virtual void Close(Ticket ticket) = 0;
};

// Where the console's hourly self-update plugs in; the controller calls it on the UI thread.
class ISelfUpdate {
public:
    virtual ~ISelfUpdate() = default;
    virtual void RunHourlyWork() = 0;
};

}  // namespace zn::console
