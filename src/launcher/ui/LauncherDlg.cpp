#include "LauncherDlg.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QTextDocument>
#include <QTimer>
#include <QtMath>

#include <algorithm>
#include <string_view>

#include "gui/DialogUnits.h"
#include "ui_LauncherDlg.h"
#include "update/UpdateRun.h"

namespace zn::launcher {
namespace {

constexpr int kFontPointSize = 9;
constexpr QSize kWindowUnits{191, 39};
constexpr QSize kStatusOffsetUnits{7, 7};
constexpr QSize kStatusUnits{177, 25};

// Every text the status line shows after its prefix.
constexpr std::string_view kStatusTexts[] = {
    kProgressChecking,     kProgressNoServer,  kProgressBadManifest,  kProgressDownloading,
    kProgressModuleFailed, kProgressDeploying, kProgressNotInstalled,
};

// The width of the longest status line in `font`.
int WidestStatusLine(const QFont& font) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const std::string_view text : kStatusTexts) {
        const QString line =
            QString::fromUtf8(kStatusPrefix.data(), static_cast<qsizetype>(kStatusPrefix.size())) +
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

}  // namespace

LauncherDlg::LauncherDlg()
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint),
      m_ui(std::make_unique<Ui::LauncherDlg>()) {
    m_ui->setupUi(this);
    QFont dialogFont = font();
    dialogFont.setPointSize(kFontPointSize);
    setFont(dialogFont);
    const QSize offset = gui::DialogUnitsToPixels(dialogFont, kStatusOffsetUnits);
    // The template's width cuts the longer lines off in a Chinese font: the window widens to the
    // longest line with its document margins, a pixel either side for rounding, and the same
    // border on the right as on the left.
    QSize status = gui::DialogUnitsToPixels(dialogFont, kStatusUnits);
    const int margins = 2 * qCeil(m_ui->status->document()->documentMargin());
    status.setWidth(std::max(status.width(), WidestStatusLine(dialogFont) + margins + 2));
    m_ui->status->setGeometry(QRect(QPoint(offset.width(), offset.height()), status));
    QSize window = gui::DialogUnitsToPixels(dialogFont, kWindowUnits);
    window.setWidth(std::max(window.width(), status.width() + 2 * offset.width()));
    setFixedSize(window);
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
