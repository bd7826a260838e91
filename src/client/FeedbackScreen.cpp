#include "client/FeedbackScreen.h"

#include <utility>

#include "client/ClientWindow.h"
#include "platform/Log.h"

namespace zn::client {

void FeedbackScreen::PostMessage(std::string_view text, std::string_view caption,
                                 MessageIcon icon) {
    Message message{std::string(text), std::string(caption), icon};
    {
        const std::lock_guard lock(m_mutex);
        if (m_shown == message || m_waiting == message) {
            return;
        }
        if (m_shown) {
            if (m_waiting) {
                log::Warn("message box dropped, two are already due: {}", log::Printable(text));
            } else {
                m_waiting = std::move(message);
            }
            return;
        }
        m_shown = message;
    }
    Show(std::move(message));
}

void FeedbackScreen::Show(Message message) {
    m_window.PostToUiThread([this, message = std::move(message)] {
        m_window.ShowMessage(message.text, message.caption, message.icon);
        if (auto next = NextAfterShown()) {
            Show(std::move(*next));
        }
    });
}

std::optional<FeedbackScreen::Message> FeedbackScreen::NextAfterShown() {
    const std::lock_guard lock(m_mutex);
    m_shown = std::exchange(m_waiting, std::nullopt);
    return m_shown;
}

void FeedbackScreen::PostNavigate(std::string_view url) {
    m_window.PostToUiThread([&window = m_window, url = std::string(url)] { window.Navigate(url); });
}

void FeedbackScreen::PostReloadIfShown(std::string_view url) {
    // Asked on the UI thread, after every navigation posted before it has started.
    m_window.PostToUiThread([&window = m_window, url = std::string(url)] {
        if (window.IsShowing(url)) {
            window.Navigate(url);
        }
    });
}

void FeedbackScreen::PostRaise() {
    m_window.PostToUiThread([&window = m_window] { window.Raise(); });
}

}  // namespace zn::client
