#include "client/FeedbackScreen.h"

#include <string>

#include "client/ClientWindow.h"

namespace zn::client {

void FeedbackScreen::PostMessage(std::string_view text, std::string_view caption,
                                 MessageIcon icon) {
    m_window.PostToUiThread([&window = m_window, text = std::string(text),
                             caption = std::string(caption),
                             icon] { window.ShowMessage(text, caption, icon); });
}

void FeedbackScreen::PostNavigate(std::string_view url) {
    m_window.PostToUiThread([&window = m_window, url = std::string(url)] { window.Navigate(url); });
}

void FeedbackScreen::PostRaise() {
    m_window.PostToUiThread([&window = m_window] { window.Raise(); });
}

}  // namespace zn::client
