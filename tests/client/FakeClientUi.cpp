#include "FakeClientUi.h"

namespace zn::client::test {

class FakeProgressWindow : public IProgressWindow {
public:
    explicit FakeProgressWindow(FakeClientUi& ui) : m_ui(ui) {}
    void Close() override { m_ui.Record("close"); }

private:
    FakeClientUi& m_ui;
};

void FakeClientUi::AnswerErrorDialog(ConnectionErrorAnswer answer) {
    const std::lock_guard lock(m_mutex);
    m_answers.push_back(std::move(answer));
}

void FakeClientUi::ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) {
    const std::lock_guard lock(m_mutex);
    m_messages.push_back({std::string(text), std::string(caption), icon});
}

ConnectionErrorAnswer FakeClientUi::AskConnectionError(std::string_view serverAddress) {
    const std::lock_guard lock(m_mutex);
    m_dialogAddresses.emplace_back(serverAddress);
    if (m_answers.empty()) {
        return {};
    }
    auto answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

std::unique_ptr<IProgressWindow> FakeClientUi::OpenProgress(std::string_view text) {
    Record("open:" + std::string(text));
    return std::make_unique<FakeProgressWindow>(*this);
}

void FakeClientUi::Navigate(std::string_view url) {
    const std::lock_guard lock(m_mutex);
    m_navigations.emplace_back(url);
}

void FakeClientUi::PostReloadIfShown(std::string_view url) {
    const std::lock_guard lock(m_mutex);
    m_reloadsIfShown.emplace_back(url);
}

void FakeClientUi::PostRaise() {
    const std::lock_guard lock(m_mutex);
    ++m_raises;
}

void FakeClientUi::RequestClose() {
    const std::lock_guard lock(m_mutex);
    ++m_closeRequests;
}

void FakeClientUi::ExitProcess(int code) {
    const std::lock_guard lock(m_mutex);
    m_exitCodes.push_back(code);
}

void FakeClientUi::Record(std::string progressEvent) {
    const std::lock_guard lock(m_mutex);
    m_progress.push_back(std::move(progressEvent));
}

std::vector<ShownMessage> FakeClientUi::Messages() const {
    const std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<std::string> FakeClientUi::MessageTexts() const {
    const std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& message : m_messages) {
        texts.push_back(message.text);
    }
    return texts;
}

std::vector<std::string> FakeClientUi::DialogAddresses() const {
    const std::lock_guard lock(m_mutex);
    return m_dialogAddresses;
}

std::vector<std::string> FakeClientUi::Navigations() const {
    const std::lock_guard lock(m_mutex);
    return m_navigations;
}

std::vector<std::string> FakeClientUi::ReloadsIfShown() const {
    const std::lock_guard lock(m_mutex);
    return m_reloadsIfShown;
}

std::vector<std::string> FakeClientUi::Progress() const {
    const std::lock_guard lock(m_mutex);
    return m_progress;
}

int FakeClientUi::Raises() const {
    const std::lock_guard lock(m_mutex);
    return m_raises;
}

int FakeClientUi::CloseRequests() const {
    const std::lock_guard lock(m_mutex);
    return m_closeRequests;
}

std::vector<int> FakeClientUi::ExitCodes() const {
    const std::lock_guard lock(m_mutex);
    return m_exitCodes;
}

}  // namespace zn::client::test
