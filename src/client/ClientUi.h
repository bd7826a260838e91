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

// What the seat's link to the counter does on the screen; the Qt client implements it.
// ShowMessage, Navigate and RaiseWindow are also called from the feedback threads: from there
// they must be carried to the user-interface thread without waiting for it, because Stop() joins
// those threads on the user-interface thread.
class IClientUi {
public:
    virtual ~IClientUi() = default;

    // A message box owned by the main window.
    virtual void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
    // The connection error dialog, its address field filled with `serverAddress`.
    virtual ConnectionErrorAnswer AskConnectionError(std::string_view serverAddress) = 0;
    virtual std::unique_ptr<IProgressWindow> OpenProgress(std::string_view text) = 0;
    virtual void Navigate(std::string_view url) = 0;
    // Top of the window order without moving or sizing, then to the front.
    virtual void RaiseWindow() = 0;
    // The main window's close request, with its exit confirmation.
    virtual void RequestClose() = 0;
    // Counter mode ends the program right after a successful order.
    virtual void ExitProcess(int code) = 0;
};

}  // namespace zn::client
