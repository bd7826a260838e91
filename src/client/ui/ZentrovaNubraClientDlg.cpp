#include "ZentrovaNubraClientDlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <utility>
#include <vector>

#include "ClientIcon.h"
#include "ErrorDlg1.h"
#include "client/ClientStartup.h"
#include "gui/MessageBox.h"
#include "gui/PageHost.h"
#include "gui/QtText.h"
#include "gui/WindowPublisher.h"
#include "gui/WindowRaising.h"

namespace zn::client {
namespace {

using gui::Q;

// A window of the controller's progress windows, closed when the core is done with it.
class ProgressTicket final : public IProgressWindow {
public:
    ProgressTicket(gui::ProgressController& progress, gui::ProgressController::Ticket ticket)
        : m_progress(progress), m_ticket(ticket) {}
    void Close() override { m_progress.Close(std::exchange(m_ticket, 0)); }
    ~ProgressTicket() override { Close(); }

private:
    gui::ProgressController& m_progress;
    gui::ProgressController::Ticket m_ticket;
};

}  // namespace

CZentrovaNubraClientDlg::CZentrovaNubraClientDlg()
    : m_progress(gui::ProgressWindow::kSeatClientSize) {
    setWindowTitle(Q(kMainWindowCaption));
    resize(966, 646);
}

CZentrovaNubraClientDlg::~CZentrovaNubraClientDlg() = default;

void CZentrovaNubraClientDlg::InitDialog(ClientWindowController& controller) {
    m_controller = &controller;
    setWindowIcon(DrawClientIcon());
    m_page = new gui::PageHost(this);
    m_page->View()->setHtml(Q(kBuiltInPage));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_page);
    std::vector<std::string> ids;
    for (const auto& event : kClientPageEvents) {
        ids.emplace_back(event.id);
    }
    m_page->SetBoundIds(ids);
    m_page->SetClickOrigins([this] { return m_controller->ClickOrigins(); });
    connect(m_page, &gui::PageHost::Clicked, this,
            [this](const std::string& id, const gui::PageValues& values) {
                m_controller->OnPageClick(
                    id, [&values](std::string_view element) { return values.Get(element); });
            });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this,
            [this] { m_controller->OnCommand(kCommandCancel); });

    m_publisher = std::make_unique<gui::WindowPublisher>(this, std::string(kMainWindowClass));
    connect(m_publisher.get(), &gui::WindowPublisher::CopyDataReceived, this,
            [this](quint32 number, const QByteArray&) {
                if (number == kShowRunningClient) {
                    ShowMaximizedAndRaise();
                }
            });
}

void CZentrovaNubraClientDlg::SetCaption(const std::string& caption) {
    setWindowTitle(Q(caption));
}

void CZentrovaNubraClientDlg::ShowMaximizedAndRaise() {
    gui::ShowMaximizedAndRaise(this);
}

bool CZentrovaNubraClientDlg::AskYesNo(std::string_view text, std::string_view caption) {
    return gui::MessageBox(this, Q(text), Q(caption), gui::DialogIcon::Question,
                           gui::DialogButtons::YesNo) == gui::DialogAnswer::Yes;
}

void CZentrovaNubraClientDlg::EndWindow() {
    close();
}

void CZentrovaNubraClientDlg::PostToUiThread(std::function<void()> job) {
    QMetaObject::invokeMethod(&m_postTarget, std::move(job), Qt::QueuedConnection);
}

void CZentrovaNubraClientDlg::Navigate(std::string_view url) {
    if (m_page != nullptr) {
        m_page->Navigate(url);
    }
}

bool CZentrovaNubraClientDlg::IsShowing(std::string_view url) const {
    return m_page != nullptr && m_page->Shows(url);
}

void CZentrovaNubraClientDlg::Raise() {
    gui::RaiseWindow(this);
}

void CZentrovaNubraClientDlg::ShowMessage(std::string_view text, std::string_view caption,
                                          MessageIcon icon) {
    gui::MessageBox(
        this, Q(text), Q(caption),
        icon == MessageIcon::Error ? gui::DialogIcon::Error : gui::DialogIcon::Information);
}

ConnectionErrorAnswer CZentrovaNubraClientDlg::AskConnectionError(
    const std::string& serverAddress) {
    return CErrorDlg1::Ask(this, serverAddress);
}

void CZentrovaNubraClientDlg::closeEvent(QCloseEvent* event) {
    if (m_controller != nullptr && !m_controller->OnCloseRequested()) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

void ClientLinkUi::ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) {
    m_window.HandOver().Run([&] { m_window.ShowMessage(text, caption, icon); });
}

ConnectionErrorAnswer ClientLinkUi::AskConnectionError(std::string_view serverAddress) {
    ConnectionErrorAnswer answer;  // Cancel when the program is ending
    const std::string address(serverAddress);
    m_window.HandOver().Run([&] { answer = m_window.AskConnectionError(address); });
    return answer;
}

std::unique_ptr<IProgressWindow> ClientLinkUi::OpenProgress(std::string_view text) {
    const auto ticket = m_window.Progress().Open(Q(text));
    return std::make_unique<ProgressTicket>(m_window.Progress(), ticket);
}

void ClientLinkUi::Navigate(std::string_view url) {
    m_window.PostToUiThread(
        [&window = m_window, address = std::string(url)] { window.Navigate(address); });
}

void ClientLinkUi::RequestClose() {
    m_window.PostToUiThread([&window = m_window] { window.close(); });
}

void ClientLinkUi::ExitProcess(int code) {
    m_window.PostToUiThread([code] { QCoreApplication::exit(code); });
}

}  // namespace zn::client
