#include "TaskbarNotifierWidget.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace zn::console {

namespace {

QRect ScreenArea(bool available) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    return available ? screen->availableGeometry() : screen->geometry();
}

QColor ColourOf(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

QFont FontOf(const NotifierTextStyle& style) {
    QFont font(QString::fromStdString(style.face));
    if (style.tenthsOfPoint > 0) {
        font.setPointSizeF(style.tenthsOfPoint / 10.0);
    }
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    return font;
}

// Centred across; from the top down, since a vertical centring has no effect on text with word
// breaks in the original either.
constexpr int kTextFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

// The text as it fits the area with word breaks: cut at the end with an ellipsis when it is
// too tall.
QString FitText(const QString& text, const QFontMetrics& metrics, const QRect& area) {
    const auto fits = [&](const QString& candidate) {
        return metrics.boundingRect(area, kTextFlags, candidate).height() <= area.height();
    };
    if (fits(text)) {
        return text;
    }
    const QString ellipsis(QChar(0x2026));
    qsizetype low = 0;
    qsizetype high = text.size();
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (fits(text.left(middle) + ellipsis)) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return text.left(low) + ellipsis;
}

}  // namespace

TaskbarNotifierWidget::TaskbarNotifierWidget(QPixmap skin)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus),
      m_skin(std::move(skin)) {
    setWindowTitle(QStringLiteral("MSN Popup"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
}

TaskbarNotifierWidget::~TaskbarNotifierWidget() = default;

void TaskbarNotifierWidget::Bind(CTaskbarNotifier& notifier) {
    m_notifier = &notifier;
}

NotifierRect TaskbarNotifierWidget::WorkArea() const {
    const QRect area = ScreenArea(true);
    return {area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
}

int TaskbarNotifierWidget::ScreenWidth() const {
    return ScreenArea(false).width();
}

int TaskbarNotifierWidget::ScreenHeight() const {
    return ScreenArea(false).height();
}

void TaskbarNotifierWidget::Show() {
    m_shown = true;
    UpdateVisibility();
}

void TaskbarNotifierWidget::Hide() {
    m_shown = false;
    UpdateVisibility();
}

void TaskbarNotifierWidget::SetGeometry(int x, int y, int width, int height) {
    m_area = QRect(x, y, std::max(width, 0), std::max(height, 0));
    if (!m_area.isEmpty()) {
        setGeometry(m_area);
    }
    UpdateVisibility();
}

void TaskbarNotifierWidget::UpdateVisibility() {
    const bool visible = m_shown && !m_area.isEmpty();
    if (visible != isVisible()) {
        setVisible(visible);
    }
}

void TaskbarNotifierWidget::BringToTopmost() {
    raise();
}

void TaskbarNotifierWidget::Redraw() {
    if (isVisible()) {
        repaint();
    }
}

void TaskbarNotifierWidget::StartTimer(int id, std::uint32_t periodMs) {
    std::unique_ptr<QTimer>& timer = m_timers[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, this, [this, id] {
            if (m_notifier != nullptr) {
                m_notifier->OnTimer(id);
            }
        });
    }
    timer->start(static_cast<int>(std::min<std::uint32_t>(periodMs, INT32_MAX)));
}

void TaskbarNotifierWidget::KillTimer(int id) {
    if (const auto found = m_timers.find(id); found != m_timers.end()) {
        found->second->stop();
    }
}

void TaskbarNotifierWidget::Post(std::function<void()> job) {
    QMetaObject::invokeMethod(this, std::move(job), Qt::QueuedConnection);
}

void TaskbarNotifierWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_notifier == nullptr) {
        painter.drawPixmap(0, 0, m_skin);
        return;
    }
    const NotifierPaint paint = m_notifier->Paint();
    painter.fillRect(rect(), Qt::white);
    painter.drawPixmap(paint.skinX, paint.skinY, m_skin);
    if (paint.style == nullptr || paint.text.empty()) {
        return;
    }
    const QRect area(paint.textArea.left, paint.textArea.top, paint.textArea.Width(),
                     paint.textArea.Height());
    painter.setFont(FontOf(*paint.style));
    painter.setPen(ColourOf(paint.style->colour));
    const QString text = FitText(QString::fromStdString(paint.text), painter.fontMetrics(), area);
    painter.drawText(area, kTextFlags, text);
}

void TaskbarNotifierWidget::enterEvent(QEnterEvent*) {
    if (m_notifier != nullptr) {
        m_notifier->OnMouseHover();
    }
}

void TaskbarNotifierWidget::leaveEvent(QEvent*) {
    if (m_notifier != nullptr) {
        m_notifier->OnMouseLeave();
    }
}

void TaskbarNotifierWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_notifier != nullptr) {
        m_notifier->OnClick();
    }
}

}  // namespace zn::console
