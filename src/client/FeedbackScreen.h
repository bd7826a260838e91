#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "client/ClientUi.h"

namespace zn::client {

class IClientWindow;

// The feedback threads' way to the main window: each call is posted to the user-interface
// thread and never waited for. Message boxes never nest: while one is on screen a repeat of it
// is dropped and at most one other waits; the rest are dropped (and logged).
class FeedbackScreen final : public IFeedbackUi {
public:
    explicit FeedbackScreen(IClientWindow& window) : m_window(window) {}

    void PostMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    void PostNavigate(std::string_view url) override;
    void PostReloadIfShown(std::string_view url) override;
    void PostRaise() override;

private:
    struct Message {
        std::string text;
        std::string caption;
        MessageIcon icon;
        bool operator==(const Message&) const = default;
    };

    void Show(Message message);
    // The waiting message, once the one on screen was answered.
    std::optional<Message> NextAfterShown();

    IClientWindow& m_window;
    std::mutex m_mutex;
    std::optional<Message> m_shown;
    std::optional<Message> m_waiting;
};

}  // namespace zn::client
