#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "WaitFor.h"
#include "client/ClientWindow.h"

namespace zn::client::test {

// Records what the core does to its window; posted jobs wait until the test runs them. A message
// box acts as a modal one: while it is open, `whileShown` runs and then the jobs posted so far,
// as a modal loop would run them.
class FakeClientWindow : public IClientWindow {
public:
    void SetCaption(const std::string& caption) override { captions.push_back(caption); }
    void ShowMaximizedAndRaise() override { ++shown; }
    bool AskYesNo(std::string_view text, std::string_view caption) override {
        questions.push_back(std::string(caption) + "|" + std::string(text));
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return yes;
    }
    void EndWindow() override { ++ended; }
    void ShowMessage(std::string_view text, std::string_view, MessageIcon) override {
        messages.emplace_back(text);
        maxOpenBoxes = std::max(maxOpenBoxes, ++openBoxes);
        if (whileShown) {
            whileShown();
        }
        RunPending();
        --openBoxes;
    }
    // The browser follows at once: the page at `url` is then on screen.
    void Navigate(std::string_view url) override {
        navigations.emplace_back(url);
        showing = url;
        if (onNavigate) {
            onNavigate(url);
        }
    }
    bool IsShowing(std::string_view url) const override { return showing == url; }
    void Raise() override { ++raised; }
    void PostToUiThread(std::function<void()> job) override {
        const std::lock_guard lock(mutex);
        posted.push_back(std::move(job));
    }

    // Runs the posted jobs on this (the test's UI) thread until `count` have run.
    bool RunPosted(std::size_t count) {
        return zn::test::WaitFor([&] {
            RunPending();
            return ran >= count;
        });
    }

    void RunPending() {
        std::deque<std::function<void()>> jobs;
        {
            const std::lock_guard lock(mutex);
            jobs.swap(posted);
        }
        for (auto& job : jobs) {
            job();
            ++ran;
        }
    }

    std::vector<std::string> captions;
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::vector<std::string> navigations;
    std::deque<bool> answers;
    std::function<void()> whileShown;
    std::function<void(std::string_view url)> onNavigate;
    std::string showing = "http://shop.test/wb/indexc.jsp";
    int openBoxes = 0;
    int maxOpenBoxes = 0;
    int raised = 0;
    int shown = 0;
    int ended = 0;
    std::size_t ran = 0;
    std::mutex mutex;
    std::deque<std::function<void()>> posted;
};

}  // namespace zn::client::test
