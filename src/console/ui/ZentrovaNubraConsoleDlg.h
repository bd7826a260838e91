#pragma once

#include <QObject>
#include <QWidget>

#include <map>
#include <memory>
#include <string>

#include "console/ConsoleUi.h"

class QAction;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTimer;

namespace zn::gui {
class PageHost;
class WindowPublisher;
}  // namespace zn::gui

namespace zn::console {

class COrdersDlg;
class ConsoleWindowController;

// The console's main window: the back office's browser filling the window, the tray icon with
// its menu, published in the window directory under the caption the pages give it. What it does
// is decided by ConsoleWindowController; this class only carries it out.
class CZentrovaNubraConsoleDlg final : public QWidget, public IConsoleWindow {
    Q_OBJECT

public:
    CZentrovaNubraConsoleDlg();
    ~CZentrovaNubraConsoleDlg() override;

    // The dialog's set-up before the controller starts: the browser with the page event table,
    // the icon and the published window.
    void InitDialog(ConsoleWindowController& controller);
    // The event loop has ended: the window leaves the window directory, so that a new console
    // may start, and nothing reaches the controller any more.
    void EndDialog();

    // A tray menu command, as the menu gives it.
    void RunTrayCommand(int command);

    // IConsoleWindow.
    void Show() override;
    void Hide() override;
    void ShowMaximized() override;
    void ShowNormal() override;
    void Minimize() override;
    void Raise() override;
    bool IsShown() const override;
    void SetCaption(const std::string& caption) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void CloseWindow() override;
    void Navigate(const std::string& address) override;
    void SetElementValue(const std::string& id, const std::string& value) override;
    void ReadDocumentOuterHtml(MarkupReady done) override;
    MessageAnswer MessageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                             MessageButtons buttons) override;
    void ShowNotice(const std::string& text, const std::string& caption, MessageIcon icon) override;
    std::optional<std::string> PromptPassword(const std::string& caption) override;
    bool AddTrayIcon() override;
    void RemoveTrayIcon() override;
    void SetLockChecked(bool checked) override;
    void ShowBalloon(const std::string& title, const std::string& text) override;
    void ShowTransactionView(const std::filesystem::path& pageFile) override;
    void ShowSeatViewer(const std::string& address, SeatLookUp lookUp) override;
    void ShowCustomerMessages(const std::vector<CustomerMessage>& messages) override;
    void ShowOrders(const std::vector<OrderRow>& rows, const std::string& summary) override;
    void UpdateOrders(const std::vector<OrderRow>& rows, const std::string& summary) override;
    void ShowOpenOrderCount(const std::string& trayTip, const std::string& buttonText) override;
    void StartTimer(int id, std::chrono::milliseconds period) override;
    void PostToUiThread(std::function<void()> job) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool Active() const { return m_controller != nullptr; }

    ConsoleWindowController* m_controller = nullptr;
    gui::PageHost* m_page = nullptr;
    QPushButton* m_ordersButton = nullptr;
    std::unique_ptr<COrdersDlg> m_orders;
    std::unique_ptr<QMenu> m_trayMenu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QAction* m_lockAction = nullptr;
    bool m_lockChecked = false;
    std::map<int, std::unique_ptr<QTimer>> m_timers;
    std::unique_ptr<gui::WindowPublisher> m_publisher;
    QObject m_postTarget;
};

}  // namespace zn::console
