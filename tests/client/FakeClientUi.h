#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "client/ClientUi.h"

namespace zn::client::test {

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
};

// Records what the core asks of the screen, from the link thread or the feedback threads alike;
// answers the error dialog from a script (then with Cancel).
class FakeClientUi : public ILinkUi, public IFeedbackUi {
public:
    void AnswerErrorDialog(ConnectionErrorAnswer answer);

    void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    ConnectionErrorAnswer AskConnectionError(std::string_view serverAddress) override;
    std::unique_ptr<IProgressWindow> OpenProgress(std::string_view text) override;
    void Navigate(std::string_view url) override;
    void RequestClose() override;
    void ExitProcess(int code) override;

    void PostMessage(std::string_view text, std::string_view caption, MessageIcon icon) override {
        ShowMessage(text, caption, icon);
    }
    void PostNavigate(std::string_view url) override { Navigate(url); }
    void PostReloadIfShown(std::string_view url) override;
    void PostRaise() override;

    std::vector<ShownMessage> Messages() const;
    std::vector<std::string> MessageTexts() const;
    std::vector<std::string> DialogAddresses() const;
    std::vector<std::string> Navigations() const;
    // The addresses of PostReloadIfShown, in order.
    std::vector<std::string> ReloadsIfShown() const;
    std::vector<std::string> Progress() const;  // "open:<text>" and "close" in order
    int Raises() const;
    int CloseRequests() const;
    std::vector<int> ExitCodes() const;

private:
    friend class FakeProgressWindow;
    void Record(std::string progressEvent);

    mutable std::mutex m_mutex;
    std::deque<ConnectionErrorAnswer> m_answers;
    std::vector<ShownMessage> m_messages;
    std::vector<std::string> m_dialogAddresses;
    std::vector<std::string> m_navigations;
    std::vector<std::string> m_reloadsIfShown;
    std::vector<std::string> m_progress;
    int m_raises = 0;
    int m_closeRequests = 0;
    std::vector<int> m_exitCodes;
};

}  // namespace zn::client::test
