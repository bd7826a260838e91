#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "client/ClientUi.h"

namespace zn::client {

// The seat client's main window as the controller drives it. UI thread only, except
// PostToUiThread.
class IClientWindow {
public:
    virtual ~IClientWindow() = default;

    virtual void SetCaption(const std::string& caption) = 0;
    virtual void ShowMaximizedAndRaise() = 0;
    // A Yes/No question box with the question icon, owned by the window; true on Yes.
    virtual bool AskYesNo(std::string_view text, std::string_view caption) = 0;
    // Ends the window and the program's event loop; the close path asks OnCloseRequested.
    virtual void EndWindow() = 0;
    // A message box owned by the window, with the one button OK; returns once it was answered
    // (its modal loop runs other posted jobs meanwhile).
    virtual void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
    virtual void Navigate(std::string_view url) = 0;
    // True when the browser shows the page at `url`, or is loading it by the last Navigate.
    virtual bool IsShowing(std::string_view url) const = 0;
    // Top of the window order without moving or sizing, then to the front.
    virtual void Raise() = 0;
    // Any thread: runs the job on the UI thread later, without waiting for it.
    virtual void PostToUiThread(std::function<void()> job) = 0;
};

}  // namespace zn::client
