#include "ZentrovaNubraConsoleDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>
#include <utility>
#include <vector>

#include "MessagesDlg.h"
#include "NotifierSkin.h"
#include "OrdersDlg.h"
#include "PasswordDlg.h"
#include "TransViewDlg.h"
#include "ViewSeatDlg.h"
#include "console/ConsoleTexts.h"
#include "console/ConsoleWindowController.h"
#include "console/PageEvents.h"
#include "gui/MessageBox.h"
#include "gui/PageHost.h"
#include "gui/PageValues.h"
#include "gui/QtText.h"
#include "gui/WindowPublisher.h"

namespace zn::console {

namespace {

// The window class of a dialog, under which other programs find the console.
constexpr std::string_view kDialogWindowClass = "#32770";
// Larger than template 102 (317 x 169 dialog units, 555 x 317 pixels), which cuts the back
// office's login form.
constexpr QSize kNormalSize{820, 620};

using gui::Q;

gui::DialogIcon GuiIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return gui::DialogIcon::Information;
        case MessageIcon::Warning:
            return gui::DialogIcon::Warning;
        case MessageIcon::Error:
            return gui::DialogIcon::Error;
        case MessageIcon::Question:
            return gui::DialogIcon::Question;
        case MessageIcon::None:
            break;
    }
    return gui::DialogIcon::None;
}

// The values of a clicked page, as the core reads them.
class ClickedPageValues final : public IPageValues {
public:
    explicit ClickedPageValues(const gui::PageValues& values) : m_values(values) {}
    std::string Value(std::string_view id) const override { return m_values.Get(id); }
    std::optional<std::string> Body() const override { return m_values.Body(); }
    bool BodyTooLarge() const override { return m_values.BodyTooLarge(); }

private:
    const gui::PageValues& m_values;
};

}  // namespace

CZentrovaNubraConsoleDlg::CZentrovaNubraConsoleDlg() {
    setWindowTitle(Q(texts::kMainWindowCaption));
    resize(kNormalSize);
}

CZentrovaNubraConsoleDlg::~CZentrovaNubraConsoleDlg() = default;

void CZentrovaNubraConsoleDlg::InitDialog(ConsoleWindowController& controller) {
    m_controller = &controller;
    setWindowIcon(DrawConsoleIcon());
    m_page = new gui::PageHost(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_page, 1);
    // The day's orders stay one click away while the back office fills the window; at the left,
    // since the popup covers the bottom right corner.
    auto* bar = new QHBoxLayout();
    bar->setContentsMargins(4, 2, 4, 2);
    m_ordersButton = new QPushButton(Q(texts::kOrdersCaption), this);
    connect(m_ordersButton, &QPushButton::clicked, this,
            [this] { RunTrayCommand(texts::kCommandOrders); });
    bar->addWidget(m_ordersButton);
    bar->addStretch();
    layout->addLayout(bar);

    std::vector<std::string> ids;
    std::vector<std::string> bodyIds;
    for (const auto& event : kPageEventTable) {
        ids.emplace_back(event.id);
        if (CapturesBody(event.action)) {
            bodyIds.emplace_back(event.id);
        }
    }
    m_page->SetBoundIds(ids, bodyIds);
    m_page->SetClickOrigins([this] { return m_controller->ClickOrigins(); });
    connect(m_page, &gui::PageHost::Clicked, this,
            [this](const std::string& id, const gui::PageValues& values) {
                if (Active()) {
                    m_controller->OnPageClick(id, ClickedPageValues(values));
                }
            });
    connect(m_page, &gui::PageHost::ClickRefused, this, [this](const QUrl& page) {
        if (Active()) {
            // Without the query: a login query carries the password.
            m_controller->OnClickRefused(
                page.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo | QUrl::RemoveFragment)
                    .toStdString());
        }
    });
    connect(m_page, &gui::PageHost::LoadFinished, this, [this](const QUrl& url, bool ok) {
        if (!Active()) {
            return;
        }
        const std::string address = url.toString().toStdString();
        if (ok) {
            m_controller->OnPageLoaded(address);
        } else {
            m_controller->OnPageLoadFailed(address);
        }
    });

    m_publisher = std::make_unique<gui::WindowPublisher>(this, std::string(kDialogWindowClass));
}

void CZentrovaNubraConsoleDlg::EndDialog() {
    m_publisher.reset();
    m_controller = nullptr;
    for (auto& [id, timer] : m_timers) {
        timer->stop();
    }
}

void CZentrovaNubraConsoleDlg::RunTrayCommand(int command) {
    if (Active()) {
        m_controller->OnCommand(command);
    }
}

void CZentrovaNubraConsoleDlg::Show() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    setVisible(true);
}

void CZentrovaNubraConsoleDlg::Hide() {
    setVisible(false);
}

void CZentrovaNubraConsoleDlg::ShowMaximized() {
    showMaximized();
}

void CZentrovaNubraConsoleDlg::ShowNormal() {
    showNormal();
    resize(size().expandedTo(kNormalSize));
}

void CZentrovaNubraConsoleDlg::Minimize() {
    showMinimized();
}

void CZentrovaNubraConsoleDlg::Raise() {
    if (isVisible()) {
        raise();
        activateWindow();
    }
}

bool CZentrovaNubraConsoleDlg::IsShown() const {
    return isVisible() && !isMinimized();
}

void CZentrovaNubraConsoleDlg::SetCaption(const std::string& caption) {
    setWindowTitle(Q(caption));
}

void CZentrovaNubraConsoleDlg::BeginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CZentrovaNubraConsoleDlg::EndWaitCursor() {
    QApplication::restoreOverrideCursor();
}

void CZentrovaNubraConsoleDlg::CloseWindow() {
    close();
}

void CZentrovaNubraConsoleDlg::Navigate(const std::string& address) {
    if (m_page != nullptr) {
        m_page->Navigate(std::string_view(address));
    }
}

void CZentrovaNubraConsoleDlg::SetElementValue(const std::string& id, const std::string& value) {
    if (m_page != nullptr) {
        m_page->SetElementValue(id, value);
    }
}

void CZentrovaNubraConsoleDlg::ReadDocumentOuterHtml(MarkupReady done) {
    if (m_page == nullptr) {
        return;
    }
    m_page->ReadOuterHtml(gui::MarkupPart::Document,
                          [window = QPointer<CZentrovaNubraConsoleDlg>(this),
                           done = std::move(done)](gui::MarkupStatus status, std::string html) {
                              // The core hears nothing once the event loop has ended.
                              if (window == nullptr || !window->Active()) {
                                  return;
                              }
                              done(status == gui::MarkupStatus::Read
                                       ? std::optional<std::string>(std::move(html))
                                       : std::nullopt);
                          });
}

MessageAnswer CZentrovaNubraConsoleDlg::MessageBox(const std::string& text,
                                                   const std::string& caption, MessageIcon icon,
                                                   MessageButtons buttons) {
    const gui::DialogAnswer answer =
        gui::MessageBox(this, Q(text), Q(caption), GuiIcon(icon),
                        buttons == MessageButtons::OkCancel ? gui::DialogButtons::OkCancel
                                                            : gui::DialogButtons::Ok);
    return answer == gui::DialogAnswer::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

void CZentrovaNubraConsoleDlg::ShowNotice(const std::string& text, const std::string& caption,
                                          MessageIcon icon) {
    gui::ShowNotice(this, Q(text), Q(caption), GuiIcon(icon));
}

std::optional<std::string> CZentrovaNubraConsoleDlg::PromptPassword(const std::string& caption) {
    return CPasswordDlg::Ask(this, caption);
}

bool CZentrovaNubraConsoleDlg::AddTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    m_trayMenu = std::make_unique<QMenu>();
    for (const texts::TrayMenuItem& item : texts::kTrayMenu) {
        if (item.command == 0) {
            m_trayMenu->addSeparator();
            continue;
        }
        QAction* action = m_trayMenu->addAction(Q(item.text));
        const int command = item.command;
        if (command == texts::kCommandLock) {
            m_lockAction = action;
            action->setCheckable(true);
            action->setChecked(m_lockChecked);
        }
        connect(action, &QAction::triggered, this, [this, command] {
            // The check mark follows the lock, not the click.
            if (m_lockAction != nullptr) {
                m_lockAction->setChecked(m_lockChecked);
            }
            RunTrayCommand(command);
        });
    }
    m_tray = std::make_unique<QSystemTrayIcon>(DrawConsoleIcon());
    m_tray->setToolTip(Q(texts::kTrayTip));
    m_tray->setContextMenu(m_trayMenu.get());
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && Active()) {
                    m_controller->OnTrayLeftClick();
                }
            });
    m_tray->show();
    return true;
}

void CZentrovaNubraConsoleDlg::RemoveTrayIcon() {
    if (m_tray) {
        m_tray->hide();
    }
}

void CZentrovaNubraConsoleDlg::SetLockChecked(bool checked) {
    m_lockChecked = checked;
    if (m_lockAction != nullptr) {
        m_lockAction->setChecked(checked);
    }
}

void CZentrovaNubraConsoleDlg::ShowBalloon(const std::string& title, const std::string& text) {
    gui::LogBalloon(Q(title), Q(text));
    if (m_tray) {
        m_tray->showMessage(Q(title), Q(text), QSystemTrayIcon::Information);
    }
}

void CZentrovaNubraConsoleDlg::ShowTransactionView(const std::filesystem::path& pageFile) {
    CTransViewDlg view(pageFile, this);
    view.Run();
}

void CZentrovaNubraConsoleDlg::ShowOrders(const std::vector<OrderRow>& rows,
                                          const std::string& summary) {
    if (!m_orders) {
        m_orders = std::make_unique<COrdersDlg>(
            [this](const std::string& serial) {
                if (Active()) {
                    m_controller->OpenOrder(serial);
                }
            },
            this);
    }
    m_orders->SetOrders(rows, summary);
    m_orders->show();
    m_orders->raise();
    m_orders->activateWindow();
}

void CZentrovaNubraConsoleDlg::UpdateOrders(const std::vector<OrderRow>& rows,
                                            const std::string& summary) {
    if (m_orders && m_orders->isVisible()) {
        m_orders->SetOrders(rows, summary);
    }
}

void CZentrovaNubraConsoleDlg::ShowOpenOrderCount(const std::string& trayTip,
                                                  const std::string& buttonText) {
    if (m_tray) {
        m_tray->setToolTip(Q(trayTip));
    }
    if (m_ordersButton != nullptr) {
        m_ordersButton->setText(Q(buttonText));
    }
}

void CZentrovaNubraConsoleDlg::ShowSeatViewer(const std::string& address, SeatLookUp lookUp) {
    CViewSeatDlg::Show(this, address, std::move(lookUp));
}

void CZentrovaNubraConsoleDlg::ShowCustomerMessages(const std::vector<CustomerMessage>& messages) {
    CMessagesDlg::Show(this, messages);
}

void CZentrovaNubraConsoleDlg::StartTimer(int id, std::chrono::milliseconds period) {
    std::unique_ptr<QTimer>& timer = m_timers[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        connect(timer.get(), &QTimer::timeout, this, [this, id] {
            if (Active()) {
                m_controller->OnTimer(id);
            }
        });
    }
    timer->start(static_cast<int>(
        std::min<std::chrono::milliseconds::rep>(period.count(), std::numeric_limits<int>::max())));
}

void CZentrovaNubraConsoleDlg::PostToUiThread(std::function<void()> job) {
    QMetaObject::invokeMethod(&m_postTarget, std::move(job), Qt::QueuedConnection);
}

void CZentrovaNubraConsoleDlg::closeEvent(QCloseEvent* event) {
    if (Active() && !m_controller->OnCloseRequested()) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

void CZentrovaNubraConsoleDlg::keyPressEvent(QKeyEvent* event) {
    // Keys the page did not take: Enter and Escape are the dialog's OK and Cancel.
    if (Active()) {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                m_controller->OnCommand(kCommandOk);
                return;
            case Qt::Key_Escape:
                m_controller->OnCommand(kCommandCancel);
                return;
            default:
                break;
        }
    }
    QWidget::keyPressEvent(event);
}

void CZentrovaNubraConsoleDlg::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || isActiveWindow()) {
        return;
    }
    // The focus went elsewhere; our own dialogs (a prompt, a message) taking it do not count,
    // so a prompt never raises another one.
    QTimer::singleShot(0, this, [this] {
        if (Active() && QApplication::activeWindow() == nullptr) {
            m_controller->OnFocusLost();
        }
    });
}

}  // namespace zn::console
