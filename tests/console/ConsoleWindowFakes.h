#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "console/ConsoleUi.h"
#include "console/TaskbarNotifier.h"

namespace zn::console::test {

// Records what the core does to the main window, one line per call; answers prompts and
// message boxes from queues (default: OK, and Cancel for prompts).
class FakeConsoleWindow final : public IConsoleWindow {
public:
    void Show() override { Record("Show", true); }
    void Hide() override { Record("Hide", false); }
    void ShowMaximized() override { Record("ShowMaximized", true); }
    void ShowNormal() override { Record("ShowNormal", true); }
    void Minimize() override { Record("Minimize", false); }
    void Raise() override { Record("Raise"); }
    bool IsShown() const override {
        std::lock_guard lock(m_mutex);
        return m_shown;
    }
    void SetCaption(const std::string& caption) override { Record("Caption:" + caption); }
    void BeginWaitCursor() override { Record("WaitCursor:on"); }
    void EndWaitCursor() override { Record("WaitCursor:off"); }
    void CloseWindow() override { Record("CloseWindow"); }
    void Navigate(const std::string& address) override { Record("Navigate:" + address); }
    void SetElementValue(const std::string& id, const std::string& value) override {
        Record("Set:" + id + "=" + value);
    }
    void ReadDocumentOuterHtml(MarkupReady done) override { done(document); }

    MessageAnswer MessageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                             MessageButtons) override {
        Record("Message:" + text + "|" + caption + "|" + std::to_string(static_cast<int>(icon)));
        std::lock_guard lock(m_mutex);
        if (answers.empty()) {
            return MessageAnswer::Ok;
        }
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowNotice(const std::string& text, const std::string& caption,
                    MessageIcon icon) override {
        Record("Notice:" + text + "|" + caption + "|" + std::to_string(static_cast<int>(icon)));
    }
    std::optional<std::string> PromptPassword(const std::string& caption) override {
        Record("Prompt:" + caption);
        if (duringPrompt) {
            duringPrompt();
        }
        std::lock_guard lock(m_mutex);
        if (passwords.empty()) {
            return std::nullopt;
        }
        auto typed = passwords.front();
        passwords.pop_front();
        return typed;
    }

    bool AddTrayIcon() override {
        Record("AddTrayIcon");
        return hasTray;
    }
    void RemoveTrayIcon() override { Record("RemoveTrayIcon"); }
    void SetLockChecked(bool checked) override { Record(checked ? "Check:on" : "Check:off"); }
    void ShowBalloon(const std::string& title, const std::string& text) override {
        Record("Balloon:" + title + "|" + text);
    }
    void ShowTransactionView(const std::filesystem::path& pageFile) override {
        Record("TransactionView:" + pageFile.string());
        if (duringView) {
            duringView(pageFile);
        }
    }
    void ShowSeatViewer(const std::string& address, SeatLookUp lookUp) override {
        Record("SeatViewer:" + address);
        seatLookUp = std::move(lookUp);
    }
    void ShowCustomerMessages(const std::vector<CustomerMessage>& messages) override {
        std::string call = "Messages:";
        for (const CustomerMessage& message : messages) {
            call += "[" + message.seat + "|" + message.address + "|" + message.text + "]";
        }
        Record(call);
    }
    void ShowOrders(const std::vector<OrderRow>& rows, const std::string& summary) override {
        Record("Orders:" + summary);
        std::lock_guard lock(m_mutex);
        orderRows = rows;
        ordersOpen = true;
    }
    void UpdateOrders(const std::vector<OrderRow>& rows, const std::string& summary) override {
        std::lock_guard lock(m_mutex);
        if (ordersOpen) {
            orderRows = rows;
            orderSummary = summary;
        }
    }
    void ShowOpenOrderCount(const std::string& trayTip, const std::string& buttonText) override {
        Record("OpenOrders:" + trayTip + "|" + buttonText);
    }
    void StartTimer(int id, std::chrono::milliseconds period) override {
        Record("Timer:" + std::to_string(id) + "/" + std::to_string(period.count()));
    }
    void PostToUiThread(std::function<void()> job) override {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(job));
    }

    // Runs the posted jobs, as the UI thread's event loop would.
    void RunPosted() {
        std::vector<std::function<void()>> jobs;
        {
            std::lock_guard lock(m_mutex);
            jobs.swap(m_posted);
        }
        for (auto& job : jobs) {
            job();
        }
    }

    std::vector<std::string> Calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const auto& call : Calls()) {
            if (call.rfind(prefix, 0) == 0) {
                found.push_back(call);
            }
        }
        return found;
    }
    void ClearCalls() {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }
    void SetShown(bool shown) {
        std::lock_guard lock(m_mutex);
        m_shown = shown;
    }

    std::optional<std::string> document;
    std::deque<MessageAnswer> answers;
    std::deque<std::optional<std::string>> passwords;
    std::function<void()> duringPrompt;
    std::function<void(const std::filesystem::path&)> duringView;
    SeatLookUp seatLookUp;
    // What "今日订单" shows once opened, kept up to date like the window.
    std::vector<OrderRow> orderRows;
    std::string orderSummary;
    bool ordersOpen = false;
    bool hasTray = true;

private:
    void Record(std::string call, std::optional<bool> shown = std::nullopt) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
        if (shown) {
            m_shown = *shown;
        }
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::vector<std::function<void()>> m_posted;
    bool m_shown = true;
};

class FakeNotifierWidget final : public INotifierWidget {
public:
    NotifierRect WorkArea() const override { return workArea; }
    int ScreenWidth() const override { return screenWidth; }
    int ScreenHeight() const override { return screenHeight; }
    void Show() override { shown = true; }
    void Hide() override { shown = false; }
    void SetGeometry(int x, int y, int width, int height) override {
        geometry = {x, y, x + width, y + height};
    }
    void BringToTopmost() override { ++topmostCalls; }
    void Redraw() override { ++redraws; }
    void StartTimer(int id, std::uint32_t periodMs) override { timers[id] = periodMs; }
    void KillTimer(int id) override { timers.erase(id); }
    void Post(std::function<void()> job) override {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(job));
    }
    void RunPosted() {
        std::vector<std::function<void()>> jobs;
        {
            std::lock_guard lock(m_mutex);
            jobs.swap(m_posted);
        }
        for (auto& job : jobs) {
            job();
        }
    }

    NotifierRect workArea{0, 0, 1024, 738};  // taskbar at the bottom
    int screenWidth = 1024;
    int screenHeight = 768;
    bool shown = false;
    NotifierRect geometry;
    int topmostCalls = 0;
    int redraws = 0;
    std::map<int, std::uint32_t> timers;

private:
    std::mutex m_mutex;
    std::vector<std::function<void()>> m_posted;
};

// Opens and closes at once, counting; `gate` (if set) runs inside Open, on the sender's thread.
class FakeProgress final : public IProgressUi {
public:
    Ticket Open(const std::string& text) override {
        if (gate) {
            gate();
        }
        std::lock_guard lock(m_mutex);
        texts.push_back(text);
        m_open.push_back(++m_last);
        return m_last;
    }
    void Close(Ticket ticket) override {
        std::lock_guard lock(m_mutex);
        std::erase(m_open, ticket);
        ++m_closed;
    }
    std::size_t OpenWindows() const {
        std::lock_guard lock(m_mutex);
        return m_open.size();
    }
    int Closed() const {
        std::lock_guard lock(m_mutex);
        return m_closed;
    }

    std::function<void()> gate;
    std::vector<std::string> texts;

private:
    mutable std::mutex m_mutex;
    std::vector<Ticket> m_open;
    Ticket m_last = 0;
    int m_closed = 0;
};

}  // namespace zn::console::test
