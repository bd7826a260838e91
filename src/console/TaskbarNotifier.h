#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "console/HandOffQueue.h"

namespace zn::console {

struct NotifierRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const NotifierRect&) const = default;
};

// The edge the popup slides from.
enum class NotifierPlacement { None = 0, Top = 1, Left = 2, Right = 3, Bottom = 4 };
enum class NotifierState { Idle = 0, Appearing = 1, Waiting = 2, Disappearing = 3 };

inline constexpr int kAppearTimer = 1;
inline constexpr int kWaitTimer = 2;
inline constexpr int kDisappearTimer = 3;
// The window system runs no timer faster than this.
inline constexpr std::uint32_t kMinimumTimerMs = 10;

// The taskbar's edge, from the desktop work area and the screen size; first match wins: right,
// left, top, else bottom (also for an auto-hidden or absent taskbar).
NotifierPlacement ChooseNotifierPlacement(const NotifierRect& workArea, int screenWidth,
                                          int screenHeight);

// How the popup's text is drawn (font size in tenths of a point).
struct NotifierTextStyle {
    std::string face;
    int tenthsOfPoint = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::uint32_t colour = 0;  // red, green, blue bytes from the low end
};

// What the widget paints: the skin at `skinOrigin` (window coordinates), the text centred in
// `textArea` with word breaks and an ellipsis, in `style`.
struct NotifierPaint {
    int skinX = 0;
    int skinY = 0;
    NotifierRect textArea;
    const NotifierTextStyle* style = nullptr;
    std::string text;
};

// The popup window as the notifier drives it; the Qt widget implements it and only paints.
// Everything runs on the UI thread, except Post.
class INotifierWidget {
public:
    virtual ~INotifierWidget() = default;
    virtual NotifierRect WorkArea() const = 0;
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
    virtual void Show() = 0;  // without activating
    virtual void Hide() = 0;
    // Moves and sizes the window without activating it or changing its order; a size below 0
    // counts as 0.
    virtual void SetGeometry(int x, int y, int width, int height) = 0;
    // Top of the topmost band, not moved, sized or activated.
    virtual void BringToTopmost() = 0;
    // Repaints at once from Paint().
    virtual void Redraw() = 0;
    virtual void StartTimer(int id, std::uint32_t periodMs) = 0;
    virtual void KillTimer(int id) = 0;
    // Any thread: runs the job on the UI thread later.
    virtual void Post(std::function<void()> job) = 0;
};

// The sliding announcement popup: state machine, placement and step geometry. UI thread only,
// except ShowTextFromAnyThread.
class CTaskbarNotifier {
public:
    CTaskbarNotifier(INotifierWidget& widget, std::function<void()> onClicked);

    // The skin's size (the Qt side loads the picture); the text area becomes the whole skin.
    void SetSkinSize(int width, int height);
    void SetTextFonts(const std::string& face, int tenthsOfPoint, int normalStyle,
                      int selectedStyle);
    void SetTextColors(std::uint32_t normal, std::uint32_t selected);
    void SetTextArea(const NotifierRect& area);

    void ShowText(const std::string& text, std::uint32_t timeToShow, std::uint32_t timeToStay,
                  std::uint32_t timeToHide, int increment);
    // Queues ShowText for the UI thread, in order, without waiting: while kMaxQueuedTexts are
    // queued, later texts are folded into the newest one, which then says how many requests
    // came (kFoldedTexts).
    void ShowTextFromAnyThread(std::string text, std::uint32_t timeToShow, std::uint32_t timeToStay,
                               std::uint32_t timeToHide, int increment);
    // The event loop has ended: later texts are dropped and no thread waits.
    void CloseQueue();
    void HidePopup();
    // Told every announced text, on the UI thread, as ShowText takes it.
    void SetAnnouncementObserver(std::function<void(const std::string& text)> observer);

    // From the widget.
    void OnTimer(int id);
    void OnMouseHover();
    void OnMouseLeave();
    // The left button was released over the popup: the click goes to the owner as a posted
    // notification; the popup's schedule does not change.
    void OnClick();
    NotifierPaint Paint() const;

    NotifierState State() const { return m_state; }
    NotifierPlacement Placement() const { return m_placement; }
    NotifierRect Geometry() const;  // current x, y, x + width, y + height
    bool MouseOver() const { return m_mouseOver; }
    std::uint32_t ShowStepMs() const { return m_showStepMs; }
    std::uint32_t HideStepMs() const { return m_hideStepMs; }
    int SkinWidth() const { return m_skinWidth; }
    int SkinHeight() const { return m_skinHeight; }

    static constexpr std::size_t kMaxQueuedTexts = 256;

private:
    struct QueuedText {
        std::string text;
        std::uint32_t timeToShow;
        std::uint32_t timeToStay;
        std::uint32_t timeToHide;
        int increment;
        std::size_t requests = 1;  // texts folded into this one, itself included
    };

    void ShowQueuedTexts();
    void StartFromIdle(const NotifierRect& workArea);
    void AppearStep();
    void DisappearStep();
    void EndDisappearing();
    void ApplyGeometry();
    void StartTimer(int id, std::uint32_t periodMs);

    INotifierWidget& m_widget;
    std::function<void()> m_onClicked;
    std::function<void(const std::string& text)> m_announced;
    NotifierTextStyle m_normalStyle{"", 0, false, false, false, 0x00B59285};    // 133, 146, 181
    NotifierTextStyle m_selectedStyle{"", 0, false, false, false, 0x006A240A};  // 10, 36, 106
    NotifierRect m_textArea;
    int m_skinWidth = 0;
    int m_skinHeight = 0;
    int m_currentWidth = 0;
    int m_currentHeight = 0;
    std::string m_text;
    bool m_mouseOver = false;
    NotifierState m_state = NotifierState::Idle;
    std::uint32_t m_timeToShow = 0;
    std::uint32_t m_timeToStay = 0;
    std::uint32_t m_timeToHide = 0;
    std::uint32_t m_showStepMs = 0;
    std::uint32_t m_hideStepMs = 0;
    int m_startX = 0;
    int m_startY = 0;
    int m_currentX = 0;
    int m_currentY = 0;
    NotifierPlacement m_placement = NotifierPlacement::None;
    int m_increment = 3;
    HandOffQueue<QueuedText> m_queued;
};

}  // namespace zn::console
