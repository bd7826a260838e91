#pragma once

#include <string_view>

#include "client/ClientUi.h"

namespace zn::client {

class IClientWindow;

// The feedback threads' way to the main window: each call is posted to the user-interface
// thread and never waited for.
class FeedbackScreen final : public IFeedbackUi {
public:
    explicit FeedbackScreen(IClientWindow& window) : m_window(window) {}

    void PostMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    void PostNavigate(std::string_view url) override;
    void PostRaise() override;

private:
    IClientWindow& m_window;
};

}  // namespace zn::client
