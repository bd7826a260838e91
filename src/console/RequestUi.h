#pragma once

#include <string>

namespace zn::console {

// What the request workers do to the console's screen; the Qt main window implements it. Called
// from worker threads; neither call waits for the UI thread.
class IRequestUi {
public:
    virtual ~IRequestUi() = default;

    // Slides the popup out with the text (times in milliseconds, `step` pixels per tick). Texts
    // that come before the main window has set up its popup are not announced.
    virtual void ShowText(const std::string& text, int appearMs, int visibleMs, int hideMs,
                          int step) = 0;
    // A counter request: the main window shown maximised, raised and brought to the front.
    virtual void ShowMaximizedAndRaise() = 0;
    // A customer message, kept for the day's messages before its popup is shown.
    virtual void KeepCustomerMessage(const std::string& seat, const std::string& address,
                                     const std::string& text) = 0;
    // An order, kept for the day's orders (and reminded of) before its popup is shown.
    virtual void KeepOrder(const std::string& serial, const std::string& seat,
                           const std::string& address) = 0;
};

}  // namespace zn::console
