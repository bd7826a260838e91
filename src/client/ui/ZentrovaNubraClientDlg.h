#pragma once

#include <QObject>
#include <QWidget>

#include <memory>
#include <string>
#include <string_view>

#include "client/ClientUi.h"
#include "client/ClientWindowController.h"
#include "gui/ProgressController.h"
#include "gui/UiHandOver.h"

class QCloseEvent;

namespace zn::gui {
class PageHost;
class WindowPublisher;
}  // namespace zn::gui

namespace zn::client {

// The seat client's main window: the browser filling the window, its caption set by the pages,
// published in the window directory. What it does is decided by ClientWindowController.
class CZentrovaNubraClientDlg : public QWidget, public IClientWindow {
    Q_OBJECT

public:
    CZentrovaNubraClientDlg();
    ~CZentrovaNubraClientDlg() override;

    // The dialog's initialisation once the trusted zone is set: the browser with the page event
    // table, and the window published for other programs.
    void InitDialog(ClientWindowController& controller);

    // IClientWindow.
    void SetCaption(const std::string& caption) override;
    void ShowMaximizedAndRaise() override;
    bool AskYesNo(std::string_view text, std::string_view caption) override;
    void EndWindow() override;
    void PostToUiThread(std::function<void()> job) override;
    void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    void Navigate(std::string_view url) override;
    bool IsShowing(std::string_view url) const override;
    void Raise() override;

    // UI thread.
    ConnectionErrorAnswer AskConnectionError(const std::string& serverAddress);

    // Any thread.
    gui::UiHandOver& HandOver() { return m_handOver; }
    gui::ProgressController& Progress() { return m_progress; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ClientWindowController* m_controller = nullptr;
    gui::PageHost* m_page = nullptr;
    std::unique_ptr<gui::WindowPublisher> m_publisher;
    QObject m_postTarget;
    gui::ProgressController m_progress;
    gui::UiHandOver m_handOver;  // last, so it is cancelled before anything else goes
};

// The link thread's way to the window: message boxes and the error dialog are waited for.
class ClientLinkUi final : public ILinkUi {
public:
    explicit ClientLinkUi(CZentrovaNubraClientDlg& window) : m_window(window) {}

    void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    ConnectionErrorAnswer AskConnectionError(std::string_view serverAddress) override;
    std::unique_ptr<IProgressWindow> OpenProgress(std::string_view text) override;
    void Navigate(std::string_view url) override;
    void RequestClose() override;
    void ExitProcess(int code) override;

private:
    CZentrovaNubraClientDlg& m_window;
};

}  // namespace zn::client
