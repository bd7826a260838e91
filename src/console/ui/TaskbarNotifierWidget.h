#pragma once

#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <map>
#include <memory>
#include <utility>

#include "console/TaskbarNotifier.h"

class QTimer;

namespace zn::console {

// The popup window of CTaskbarNotifier: a frameless tool window on top of the others that never
// takes the focus and has no taskbar button. It only paints what the notifier says and hands
// timer ticks, hover, leave and clicks back to it.
class TaskbarNotifierWidget final : public QWidget, public INotifierWidget {
    Q_OBJECT

public:
    explicit TaskbarNotifierWidget(QPixmap skin);
    ~TaskbarNotifierWidget() override;

    // The notifier this window belongs to; before it, ticks and mouse events are dropped.
    void Bind(CTaskbarNotifier& notifier);
    std::pair<int, int> SkinSize() const { return {m_skin.width(), m_skin.height()}; }

    // INotifierWidget.
    NotifierRect WorkArea() const override;
    int ScreenWidth() const override;
    int ScreenHeight() const override;
    void Show() override;
    void Hide() override;
    void SetGeometry(int x, int y, int width, int height) override;
    void BringToTopmost() override;
    void Redraw() override;
    void StartTimer(int id, std::uint32_t periodMs) override;
    void KillTimer(int id) override;
    void Post(std::function<void()> job) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // A window of no size is not mapped at all; it appears with its first pixel row.
    void UpdateVisibility();

    QPixmap m_skin;
    CTaskbarNotifier* m_notifier = nullptr;
    std::map<int, std::unique_ptr<QTimer>> m_timers;
    bool m_shown = false;
    QRect m_area;
};

}  // namespace zn::console
