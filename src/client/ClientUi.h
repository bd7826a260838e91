#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace zn::client {

enum class MessageIcon { Error, Information };

// The connection error dialog's result.
struct ConnectionErrorAnswer {
    bool ok = false;      // false: Cancel or the close box
    int choice = 1;       // 1 retry, 2 retry with `address`, 3 give up
    std::string address;  // with choice 2: the corrected address, trimmed, never empty
};

// The connecting-progress window, running modally on a thread of its own from its opening.
class IProgressWindow {
public:
    virtual ~IProgressWindow() = default;
    // Waits until the window has started, closes it and waits for its thread.
    virtual void Close() = 0;
};

// What the feedback threads may ask of the screen. Every call is only posted to the
// user-interface thread and returns at once: the close path joins these threads there.
class IFeedbackUi {
public:
    virtual ~IFeedbackUi() = default;

    // A message box owned by the main window.
    virtual void PostMessage(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
    virtual void PostNavigate(std::string_view url) = 0;
    // Loads `url` again when the window is showing it: its file now holds a newer page. A window
    // showing anything else is left as it is.
    virtual void PostReloadIfShown(std::string_view url) = 0;
    // Top of the window order without moving or sizing, then to the front.
    virtual void PostRaise() = 0;
};

// What the link thread asks of the screen. It waits for the user-interface thread wherever an
// answer or the order of events matters.
class ILinkUi {
public:
    virtual ~ILinkUi() = default;

    // A message box owned by the main window; returns once it was answered.
    virtual void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
    // The connection error dialog, its address field filled with `serverAddress`.
    virtual ConnectionErrorAnswer AskConnectionError(std::string_view serverAddress) = 0;
    virtual std::unique_ptr<IProgressWindow> OpenProgress(std::string_view text) = 0;
    virtual void Navigate(std::string_view url) = 0;
    // The main window's close request, with its exit confirmation.
    virtual void RequestClose() = 0;
    // Counter mode ends the program right after a successful order.
    virtual void ExitProcess(int code) = 0;
};

}  // namespace zn::client
