#include "console/ConsoleLock.h"

#include "console/ConsoleTexts.h"
#include "console/ConsoleUi.h"

namespace zn::console {

class ConsoleLock::BusyScope {
public:
    explicit BusyScope(bool& busy) : m_busy(busy), m_entered(!busy) { m_busy = true; }
    ~BusyScope() {
        if (m_entered) {
            m_busy = false;
        }
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    // False when another entry point is already running.
    bool Entered() const { return m_entered; }

private:
    bool& m_busy;
    bool m_entered;
};

void ConsoleLock::OnLockCommand() {
    const BusyScope scope(m_busy);
    if (!scope.Entered()) {
        return;
    }
    const auto typed = m_dialogs.PromptPassword(std::string(texts::kPasswordPromptCaption));
    if (!typed) {
        return;
    }
    if (!m_locked) {
        m_locked = true;
        m_password = *typed;
        m_tray.SetLockChecked(true);
        m_dialogs.MessageBox(std::string(texts::kLockedText), std::string(texts::kLockedCaption),
                             MessageIcon::Information, MessageButtons::Ok);
        m_window.Hide();
    } else if (*typed == m_password) {
        Unlock();
        ShowAndRaise();
    } else {
        ShowWrongPassword();
    }
}

void ConsoleLock::OnShowCommand() {
    const BusyScope scope(m_busy);
    if (!scope.Entered() || !m_locked) {
        return;
    }
    switch (CheckPassword()) {
        case Check::Cancelled:
            break;
        case Check::Match:
            Unlock();
            ShowAndRaise();
            break;
        case Check::NoMatch:
            ShowWrongPassword();
            break;
    }
}

void ConsoleLock::OnTrayLeftClick() {
    const BusyScope scope(m_busy);
    if (!scope.Entered() || !m_locked) {
        return;
    }
    ShowAndRaise();
    switch (CheckPassword()) {
        case Check::Cancelled:
            m_window.Hide();
            break;
        case Check::Match:
            Unlock();
            ShowAndRaise();
            break;
        case Check::NoMatch:
            ShowWrongPassword();
            m_window.Hide();
            break;
    }
}

void ConsoleLock::OnFocusLost() {
    // A hidden or minimised window has no focus to lose; Qt still reports one when it hides.
    const BusyScope scope(m_busy);
    if (!scope.Entered() || !m_locked || !m_window.IsShown()) {
        return;
    }
    switch (CheckPassword()) {
        case Check::Cancelled:
            break;
        case Check::Match:
            Unlock();
            m_window.ShowNormal();
            m_window.Raise();
            break;
        case Check::NoMatch:
            ShowWrongPassword();
            break;
    }
}

ConsoleLock::Check ConsoleLock::CheckPassword() {
    const auto typed = m_dialogs.PromptPassword(std::string(texts::kPasswordPromptCaption));
    if (!typed) {
        return Check::Cancelled;
    }
    return *typed == m_password ? Check::Match : Check::NoMatch;
}

void ConsoleLock::Unlock() {
    m_locked = false;
    m_tray.SetLockChecked(false);
    m_dialogs.MessageBox(std::string(texts::kUnlockedText), std::string(texts::kUnlockedCaption),
                         MessageIcon::Information, MessageButtons::Ok);
}

void ConsoleLock::ShowAndRaise() {
    m_window.Show();
    m_window.Raise();
}

void ConsoleLock::ShowWrongPassword() {
    m_dialogs.MessageBox(std::string(texts::kWrongPasswordText), std::string(texts::kLockedCaption),
                         MessageIcon::Error, MessageButtons::Ok);
}

}  // namespace zn::console
