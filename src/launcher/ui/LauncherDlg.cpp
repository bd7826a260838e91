#include "LauncherDlg.h"

#include <QKeyEvent>
#include <QTimer>

#include "gui/DialogUnits.h"
#include "ui_LauncherDlg.h"

namespace zn::launcher {
namespace {

constexpr int kFontPointSize = 9;
constexpr QSize kWindowUnits{191, 39};
constexpr QSize kStatusOffsetUnits{7, 7};
constexpr QSize kStatusUnits{177, 25};

}  // namespace

LauncherDlg::LauncherDlg()
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint),
      m_ui(std::make_unique<Ui::LauncherDlg>()) {
    m_ui->setupUi(this);
    QFont dialogFont = font();
    dialogFont.setPointSize(kFontPointSize);
    setFont(dialogFont);
    const QSize offset = gui::DialogUnitsToPixels(dialogFont, kStatusOffsetUnits);
    m_ui->status->setGeometry(QRect(QPoint(offset.width(), offset.height()),
                                    gui::DialogUnitsToPixels(dialogFont, kStatusUnits)));
    setFixedSize(gui::DialogUnitsToPixels(dialogFont, kWindowUnits));
    move(0, 0);
}

LauncherDlg::~LauncherDlg() = default;

void LauncherDlg::PostStatusLine(std::string line) {
    QMetaObject::invokeMethod(
        this, [this, line = std::move(line)] { ShowStatusLine(line); }, Qt::QueuedConnection);
}

void LauncherDlg::PostClose(std::chrono::milliseconds delay) {
    QMetaObject::invokeMethod(
        this,
        [this, delay] {
            if (delay.count() > 0) {
                QTimer::singleShot(delay, this, &LauncherDlg::reject);
            } else {
                reject();
            }
        },
        Qt::QueuedConnection);
}

QString LauncherDlg::StatusText() const {
    return m_ui->status->toPlainText();
}

void LauncherDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void LauncherDlg::ShowStatusLine(const std::string& line) {
    m_ui->status->setPlainText(QString::fromStdString(line));
    m_ui->status->setAlignment(Qt::AlignCenter);
}

}  // namespace zn::launcher
