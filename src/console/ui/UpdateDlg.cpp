#include "UpdateDlg.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include "console/ConsoleTexts.h"
#include "gui/DialogAutomation.h"
#include "gui/DialogUnits.h"
#include "gui/QtText.h"
#include "ui_UpdateDlg.h"

namespace zn::console {
namespace {

constexpr QSize kSizeInDialogUnits{127, 48};
constexpr int kFontPointSize = 8;
constexpr int kAboveDesktopBottom = 30;

using gui::Q;

}  // namespace

CUpdateDlg::CUpdateDlg()
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_ui(std::make_unique<Ui::UpdateDlg>()) {
    m_ui->setupUi(this);
    setWindowTitle(Q(texts::kApplicationCaption));
    m_ui->message->setText(Q(texts::kUpdatePromptText));
    m_ui->upgrade->setText(Q(texts::kUpdatePromptButton));
    connect(m_ui->upgrade, &QPushButton::clicked, this, &CUpdateDlg::accept);
    QFont dialogFont = font();
    dialogFont.setPointSize(kFontPointSize);
    setFont(dialogFont);
    setFixedSize(gui::DialogUnitsToPixels(dialogFont, kSizeInDialogUnits));
}

CUpdateDlg::~CUpdateDlg() = default;

bool CUpdateDlg::IsPromptShown() const {
    return isVisible() || m_leftOpen;
}

void CUpdateDlg::ShowPrompt() {
    if (const auto automatic = gui::DialogAutomation::Process().AnswerModelessPrompt(
            texts::kApplicationCaption, texts::kUpdatePromptText, gui::DialogButtons::OkCancel,
            gui::DialogAnswer::Ok)) {
        m_leftOpen = automatic->leftOpen;
        if (!automatic->leftOpen && automatic->answer == gui::DialogAnswer::Ok) {
            // As a click would: after the offer has returned.
            QMetaObject::invokeMethod(this, &CUpdateDlg::accept, Qt::QueuedConnection);
        }
        return;
    }
    PlaceAtCorner();
    show();
    raise();
    activateWindow();
}

void CUpdateDlg::EndProgram(int code) {
    QCoreApplication::exit(code);
}

void CUpdateDlg::PlaceAtCorner() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect desktop = screen->geometry();
    move(desktop.right() + 1 - width(), desktop.bottom() + 1 - kAboveDesktopBottom - height());
}

}  // namespace zn::console
