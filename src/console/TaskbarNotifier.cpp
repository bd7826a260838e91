#include "console/TaskbarNotifier.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

#include "console/ConsoleTexts.h"

namespace zn::console {

namespace {

// A UI thread that takes no popup for this long is stuck.
// Only the navigation hand-over waits on its queue; the popup's folds instead.

NotifierTextStyle StyleFrom(const NotifierTextStyle& base, int style) {
    NotifierTextStyle result = base;
    result.bold = (style & 1) != 0;
    result.italic = (style & 2) != 0;
    result.underline = (style & 4) != 0;
    return result;
}

}  // namespace

NotifierPlacement ChooseNotifierPlacement(const NotifierRect& workArea, int screenWidth,
                                          int screenHeight) {
    if (workArea.Width() < screenWidth) {
        return workArea.left == 0 ? NotifierPlacement::Right : NotifierPlacement::Left;
    }
    if (workArea.Height() < screenHeight && workArea.top != 0) {
        return NotifierPlacement::Top;
    }
    return NotifierPlacement::Bottom;
}

CTaskbarNotifier::CTaskbarNotifier(INotifierWidget& widget, std::function<void()> onClicked)
    : m_widget(widget),
      m_onClicked(std::move(onClicked)),
      m_queued([this] { m_widget.Post([this] { ShowQueuedTexts(); }); }, kMaxQueuedTexts) {}

void CTaskbarNotifier::SetSkinSize(int width, int height) {
    m_skinWidth = width;
    m_skinHeight = height;
    m_textArea = {0, 0, width, height};
}

void CTaskbarNotifier::SetTextFonts(const std::string& face, int tenthsOfPoint, int normalStyle,
                                    int selectedStyle) {
    NotifierTextStyle base = m_normalStyle;
    base.face = face;
    base.tenthsOfPoint = tenthsOfPoint;
    m_normalStyle = StyleFrom(base, normalStyle);
    base.colour = m_selectedStyle.colour;
    m_selectedStyle = StyleFrom(base, selectedStyle);
}

void CTaskbarNotifier::SetTextColors(std::uint32_t normal, std::uint32_t selected) {
    m_normalStyle.colour = normal;
    m_selectedStyle.colour = selected;
    m_widget.Redraw();
}

void CTaskbarNotifier::SetTextArea(const NotifierRect& area) {
    m_textArea = area;
}

void CTaskbarNotifier::ShowTextFromAnyThread(std::string text, std::uint32_t timeToShow,
                                             std::uint32_t timeToStay, std::uint32_t timeToHide,
                                             int increment) {
    const auto fold = [](QueuedText& newest, QueuedText&& later) {
        newest.requests += later.requests;
        const auto& parts = texts::kFoldedTexts;
        newest.text =
            std::string(parts[0]) + std::to_string(newest.requests) + std::string(parts[1]);
        newest.timeToStay = std::max(newest.timeToStay, later.timeToStay);
    };
    m_queued.PushOrFold({std::move(text), timeToShow, timeToStay, timeToHide, increment}, fold);
}

void CTaskbarNotifier::CloseQueue() {
    m_queued.Close();
}

void CTaskbarNotifier::ShowQueuedTexts() {
    // Each text would replace the one before on screen at once, so only the newest of a batch
    // is shown; every one is still announced. The UI thread's cost per batch stays that of one
    // popup, however fast the requests come.
    std::optional<QueuedText> newest;
    while (auto queued = m_queued.Take()) {
        if (newest && m_announced) {
            m_announced(newest->text);
        }
        newest = std::move(queued);
    }
    if (newest) {
        ShowText(newest->text, newest->timeToShow, newest->timeToStay, newest->timeToHide,
                 newest->increment);
    }
}

void CTaskbarNotifier::ShowText(const std::string& text, std::uint32_t timeToShow,
                                std::uint32_t timeToStay, std::uint32_t timeToHide, int increment) {
    if (m_announced) {
        m_announced(text);
    }
    m_text = text;
    m_timeToShow = timeToShow;
    m_timeToStay = timeToStay;
    m_timeToHide = timeToHide;
    // An increment below one pixel would never finish a slide (or divide by zero).
    m_increment = std::max(increment, 1);
    const NotifierRect workArea = m_widget.WorkArea();
    m_widget.BringToTopmost();

    switch (m_state) {
        case NotifierState::Idle:
            m_widget.Show();
            StartFromIdle(workArea);
            break;
        case NotifierState::Appearing:
            m_widget.Redraw();
            break;
        case NotifierState::Waiting:
            m_widget.Redraw();
            m_widget.KillTimer(kWaitTimer);
            StartTimer(kWaitTimer, m_timeToStay);
            break;
        case NotifierState::Disappearing:
            m_widget.KillTimer(kDisappearTimer);
            StartTimer(kWaitTimer, m_timeToStay);
            switch (m_placement) {
                case NotifierPlacement::Right:
                    m_currentX = workArea.right - m_skinWidth;
                    break;
                case NotifierPlacement::Left:
                    m_currentX = workArea.left;
                    break;
                case NotifierPlacement::Top:
                    m_currentY = workArea.top;
                    break;
                case NotifierPlacement::Bottom:
                case NotifierPlacement::None:
                    m_currentY = workArea.bottom - m_skinHeight;
                    break;
            }
            m_currentWidth = m_skinWidth;
            m_currentHeight = m_skinHeight;
            ApplyGeometry();
            m_widget.Redraw();
            m_state = NotifierState::Waiting;
            break;
    }
}

void CTaskbarNotifier::SetAnnouncementObserver(
    std::function<void(const std::string& text)> observer) {
    m_announced = std::move(observer);
}

void CTaskbarNotifier::StartFromIdle(const NotifierRect& workArea) {
    m_placement =
        ChooseNotifierPlacement(workArea, m_widget.ScreenWidth(), m_widget.ScreenHeight());
    const bool horizontal =
        m_placement == NotifierPlacement::Right || m_placement == NotifierPlacement::Left;
    const int span = horizontal ? m_skinWidth : m_skinHeight;
    // No skin yet, or an increment larger than the skin, gives no whole step: take one.
    const auto steps = static_cast<std::uint32_t>(std::max(span / m_increment, 1));
    m_showStepMs = m_timeToShow / steps;
    m_hideStepMs = m_timeToHide / steps;
    switch (m_placement) {
        case NotifierPlacement::Right:
            m_startX = workArea.right;
            m_startY = workArea.bottom - m_skinHeight;
            break;
        case NotifierPlacement::Left:
            m_startX = workArea.left;
            m_startY = workArea.bottom - m_skinHeight;
            break;
        case NotifierPlacement::Top:
            m_startX = workArea.right - m_skinWidth;
            m_startY = workArea.top;
            break;
        case NotifierPlacement::Bottom:
        case NotifierPlacement::None:
            m_startX = workArea.right - m_skinWidth;
            m_startY = workArea.bottom;
            break;
    }
    m_currentX = m_startX;
    m_currentY = m_startY;
    StartTimer(kAppearTimer, m_showStepMs);
    m_state = NotifierState::Appearing;
}

void CTaskbarNotifier::HidePopup() {
    switch (m_state) {
        case NotifierState::Appearing:
            m_widget.KillTimer(kAppearTimer);
            break;
        case NotifierState::Waiting:
            m_widget.KillTimer(kWaitTimer);
            break;
        case NotifierState::Disappearing:
            m_widget.KillTimer(kDisappearTimer);
            break;
        case NotifierState::Idle:
            break;
    }
    m_widget.SetGeometry(0, 0, 0, 0);
    m_widget.Hide();
    m_state = NotifierState::Idle;
}

void CTaskbarNotifier::OnTimer(int id) {
    if (id == kAppearTimer && m_state == NotifierState::Appearing) {
        AppearStep();
    } else if (id == kWaitTimer && m_state == NotifierState::Waiting) {
        m_widget.KillTimer(kWaitTimer);
        StartTimer(kDisappearTimer, m_hideStepMs);
        m_state = NotifierState::Disappearing;
    } else if (id == kDisappearTimer && m_state == NotifierState::Disappearing) {
        DisappearStep();
    }
}

void CTaskbarNotifier::AppearStep() {
    const int w = m_skinWidth;
    const int h = m_skinHeight;
    bool complete = false;
    switch (m_placement) {
        case NotifierPlacement::Top:
            if (m_currentHeight < h) {
                m_currentHeight = std::min(m_currentHeight + m_increment, h);
                m_currentWidth = w;
                m_widget.Redraw();
            } else {
                complete = true;
            }
            break;
        case NotifierPlacement::Left:
            if (m_currentWidth < w) {
                m_currentHeight = h;
                m_currentWidth = std::min(m_currentWidth + m_increment, w);
                m_widget.Redraw();
            } else {
                complete = true;
            }
            break;
        case NotifierPlacement::Right:
            if (m_currentWidth < w) {
                m_currentX -= std::min(m_increment, w - m_currentWidth);
                m_currentHeight = h;
                m_currentWidth = m_startX - m_currentX;
            } else {
                complete = true;
            }
            break;
        case NotifierPlacement::Bottom:
        case NotifierPlacement::None:
            if (m_currentHeight < h) {
                m_currentY -= std::min(m_increment, h - m_currentHeight);
                m_currentWidth = w;
                m_currentHeight = m_startY - m_currentY;
            } else {
                complete = true;
            }
            break;
    }
    if (complete) {
        m_widget.KillTimer(kAppearTimer);
        StartTimer(kWaitTimer, m_timeToStay);
        m_state = NotifierState::Waiting;
    }
    ApplyGeometry();
}

void CTaskbarNotifier::DisappearStep() {
    const int w = m_skinWidth;
    const int h = m_skinHeight;
    switch (m_placement) {
        case NotifierPlacement::Top:
            if (m_currentHeight <= 0) {
                m_currentWidth = 0;
                return EndDisappearing();
            }
            m_currentHeight -= m_increment;
            m_currentWidth = w;
            m_widget.Redraw();
            break;
        case NotifierPlacement::Left:
            if (m_currentWidth <= 0) {
                m_currentHeight = 0;
                return EndDisappearing();
            }
            m_currentWidth -= m_increment;
            m_currentHeight = h;
            m_widget.Redraw();
            break;
        case NotifierPlacement::Right:
            if (m_currentWidth <= 0) {
                m_currentHeight = 0;
                return EndDisappearing();
            }
            m_currentX += m_increment;
            m_currentHeight = h;
            m_currentWidth = m_startX - m_currentX;
            break;
        case NotifierPlacement::Bottom:
        case NotifierPlacement::None:
            if (m_currentHeight <= 0) {
                m_currentWidth = 0;
                return EndDisappearing();
            }
            m_currentY += m_increment;
            m_currentWidth = w;
            m_currentHeight = m_startY - m_currentY;
            break;
    }
    ApplyGeometry();
}

void CTaskbarNotifier::EndDisappearing() {
    m_widget.KillTimer(kDisappearTimer);
    HidePopup();
}

void CTaskbarNotifier::OnMouseHover() {
    if (!m_mouseOver) {
        m_mouseOver = true;
        m_widget.Redraw();
    }
}

void CTaskbarNotifier::OnMouseLeave() {
    if (m_mouseOver) {
        m_mouseOver = false;
        m_widget.Redraw();
    }
}

void CTaskbarNotifier::OnClick() {
    if (m_onClicked) {
        m_widget.Post(m_onClicked);
    }
}

NotifierPaint CTaskbarNotifier::Paint() const {
    NotifierPaint paint;
    const bool skinAtOrigin =
        m_placement == NotifierPlacement::Right || m_placement == NotifierPlacement::Bottom;
    if (!skinAtOrigin) {
        // The far part of the skin shows first, so the picture slides with the edge.
        paint.skinX = m_currentWidth - m_skinWidth;
        paint.skinY = m_currentHeight - m_skinHeight;
    }
    paint.textArea = m_textArea;
    if (m_placement == NotifierPlacement::Left) {
        paint.textArea.left += m_currentWidth - m_skinWidth;
        paint.textArea.right += m_currentWidth - m_skinWidth;
    } else if (m_placement == NotifierPlacement::Top) {
        paint.textArea.top += m_currentHeight - m_skinHeight;
        paint.textArea.bottom += m_currentHeight - m_skinHeight;
    }
    paint.style = m_mouseOver ? &m_selectedStyle : &m_normalStyle;
    paint.text = m_text;
    return paint;
}

NotifierRect CTaskbarNotifier::Geometry() const {
    return {m_currentX, m_currentY, m_currentX + m_currentWidth, m_currentY + m_currentHeight};
}

void CTaskbarNotifier::ApplyGeometry() {
    m_widget.SetGeometry(m_currentX, m_currentY, m_currentWidth, m_currentHeight);
}

void CTaskbarNotifier::StartTimer(int id, std::uint32_t periodMs) {
    m_widget.StartTimer(id, std::max(periodMs, kMinimumTimerMs));
}

}  // namespace zn::console
