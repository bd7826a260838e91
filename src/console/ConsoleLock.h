#pragma once

#include <string>

namespace zn::console {

class IDialogs;
class ITray;
class IWindowFrame;

// The console lock: a password of the cashier's choosing that the tray asks for before the
// window comes back. In memory only; UI thread only.
//
// Every entry point runs at most once at a time: while one is busy with its prompt or its
// messages, the others are ignored, so the prompt taking the focus never raises another prompt.
class ConsoleLock {
public:
    ConsoleLock(IWindowFrame& window, IDialogs& dialogs, ITray& tray)
        : m_window(window), m_dialogs(dialogs), m_tray(tray) {}

    bool IsLocked() const { return m_locked; }

    // Tray command 1003: lock with a new password, or unlock with the current one.
    void OnLockCommand();
    // Tray command 1002 while locked.
    void OnShowCommand();
    // Left button on the tray icon while locked.
    void OnTrayLeftClick();
    // The main window lost the keyboard focus; ignored unless locked and shown.
    void OnFocusLost();

private:
    enum class Check { Cancelled, Match, NoMatch };
    class BusyScope;

    Check CheckPassword();
    void Unlock();
    void ShowAndRaise();
    void ShowWrongPassword();

    IWindowFrame& m_window;
    IDialogs& m_dialogs;
    ITray& m_tray;
    bool m_locked = false;
    std::string m_password;
    bool m_busy = false;
};

}  // namespace zn::console
