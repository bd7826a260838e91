#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console/NavigationHandOver.h"
#include "console/ProgramStarter.h"
#include "console/RequestUi.h"
#include "platform/SoundPlayer.h"

namespace zn::console::test {

struct PopupCall {
    std::string text;
    int appearMs = 0;
    int visibleMs = 0;
    int hideMs = 0;
    int step = 0;
};

class FakeRequestUi final : public IRequestUi {
public:
    void ShowText(const std::string& text, int appearMs, int visibleMs, int hideMs,
                  int step) override {
        std::lock_guard lock(m_mutex);
        m_popups.push_back({text, appearMs, visibleMs, hideMs, step});
    }
    void ShowMaximizedAndRaise() override {
        std::lock_guard lock(m_mutex);
        ++m_raised;
    }
    void KeepCustomerMessage(const std::string& seat, const std::string& address,
                             const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_kept.push_back(seat + "|" + address + "|" + text);
    }
    void KeepOrder(const std::string& serial, const std::string& seat,
                   const std::string& address) override {
        std::lock_guard lock(m_mutex);
        m_kept.push_back("order " + serial + "|" + seat + "|" + address);
    }
    std::vector<std::string> Kept() const {
        std::lock_guard lock(m_mutex);
        return m_kept;
    }

    std::vector<PopupCall> Popups() const {
        std::lock_guard lock(m_mutex);
        return m_popups;
    }
    int Raised() const {
        std::lock_guard lock(m_mutex);
        return m_raised;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<PopupCall> m_popups;
    int m_raised = 0;
    std::vector<std::string> m_kept;
};

class FakeSoundPlayer final : public ISoundPlayer {
public:
    // A held player plays (records) at once and then returns only once let go, as a long alert.
    void PlayFileSync(const std::filesystem::path& wavFile) override {
        std::unique_lock lock(m_mutex);
        m_played.push_back(wavFile);
        m_released.wait(lock, [this] { return !m_held; });
    }
    std::vector<std::filesystem::path> Played() const {
        std::lock_guard lock(m_mutex);
        return m_played;
    }
    void Hold() {
        std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void LetGo() {
        std::lock_guard lock(m_mutex);
        m_held = false;
        m_released.notify_all();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_held = false;
    std::vector<std::filesystem::path> m_played;
};

// Records the programs the core starts; each start succeeds unless told otherwise.
class FakeProgramStarter final : public IProgramStarter {
public:
    bool StartProgram(const std::filesystem::path& program) override {
        started.push_back(program);
        return succeeds;
    }

    std::vector<std::filesystem::path> started;
    bool succeeds = true;
};

// Plays the UI thread of the hand-over: each scheduled run of the pending-navigation handler
// happens later on this thread, as a posted call does.
class FakeUiThread {
public:
    FakeUiThread() : m_thread([this] { Run(); }) {}
    ~FakeUiThread() {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    NavigationHandOver& HandOver() { return m_handOver; }
    std::vector<std::string> Navigations() const {
        std::lock_guard lock(m_mutex);
        return m_navigations;
    }
    // True once every scheduled run of the handler has run (within the time).
    bool WaitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_served == m_requested; });
    }
    // Runs of the handler that found nothing to navigate.
    int EmptyDeliveries() const {
        std::lock_guard lock(m_mutex);
        return m_emptyDeliveries;
    }

private:
    void Schedule() {
        {
            std::lock_guard lock(m_mutex);
            ++m_requested;
        }
        m_changed.notify_all();
    }

    void Run() {
        std::unique_lock lock(m_mutex);
        while (true) {
            m_changed.wait(lock, [&] { return m_quit || m_requested > m_served; });
            if (m_requested == m_served) {
                return;
            }
            const long run = m_requested;
            lock.unlock();
            std::vector<std::string> taken;
            for (std::string address = m_handOver.TakePending(); !address.empty();
                 address = m_handOver.TakePending()) {
                taken.push_back(std::move(address));
            }
            lock.lock();
            if (taken.empty()) {
                ++m_emptyDeliveries;
            }
            m_navigations.insert(m_navigations.end(), taken.begin(), taken.end());
            m_served = run;
            m_changed.notify_all();
        }
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    long m_requested = 0;
    long m_served = 0;
    bool m_quit = false;
    std::vector<std::string> m_navigations;
    int m_emptyDeliveries = 0;
    NavigationHandOver m_handOver{[this] { Schedule(); }};
    std::thread m_thread;
};

}  // namespace zn::console::test
