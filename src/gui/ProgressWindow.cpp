#include "gui/ProgressWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/DialogUnits.h"

namespace zn::gui {

namespace {

constexpr int kMaximum = 100;
constexpr int kStep = 10;
constexpr int kTickMs = 100;

}  // namespace

ProgressWindow::ProgressWindow(const QString& text, QSize dialogUnits, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_text(new QLabel(text, this)),
      m_bar(new QProgressBar(this)) {
    m_text->setAlignment(Qt::AlignCenter);
    m_bar->setRange(0, kMaximum);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    setFixedSize(DialogUnitsToPixels(font(), dialogUnits));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &ProgressWindow::Advance);
}

QString ProgressWindow::Text() const {
    return m_text->text();
}

int ProgressWindow::Position() const {
    return m_bar->value();
}

void ProgressWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_timer.start();
}

void ProgressWindow::hideEvent(QHideEvent* event) {
    m_timer.stop();
    QWidget::hideEvent(event);
}

void ProgressWindow::Advance() {
    m_bar->setValue(m_bar->value() < kMaximum ? m_bar->value() + kStep : 0);
}

}  // namespace zn::gui
