#pragma once

#include <string>

namespace zn::console {

// What the request workers do to the console's screen; the Qt main window implements it. Called
// from worker threads.
class IRequestUi {
public:
    virtual ~IRequestUi() = default;

    // False until the main window has created its popup; texts are announced only after that.
    virtual bool HasNotifier() const = 0;
    // Slides the popup out with the text (times in milliseconds, `step` pixels per tick).
    virtual void ShowText(const std::string& text, int appearMs, int visibleMs, int hideMs,
                          int step) = 0;
    // A counter request: the main window shown maximised, raised and brought to the front.
    virtual void ShowMaximizedAndRaise() = 0;
};

}  // namespace zn::console
