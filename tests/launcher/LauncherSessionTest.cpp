// The launcher's two threads: the worker reaches the window only while it exists, the program
// starts exactly once, and a failure text stays readable before the window closes.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "WaitFor.h"
#include "launcher/LauncherSession.h"

namespace zn::launcher {
namespace {

using namespace std::chrono_literals;

class FakeLauncherWindow final : public ILauncherWindow {
public:
    void PostStatusLine(std::string line) override {
        const std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(line));
    }
    void PostClose(std::chrono::milliseconds delay) override {
        const std::lock_guard lock(m_mutex);
        m_calls.push_back("close after " + std::to_string(delay.count()) + " ms");
    }
    std::vector<std::string> Calls() const {
        const std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

// A run that reports a text and then waits until the test lets it return the result.
class HeldRun {
public:
    LauncherRun Run(UpdateResult result, std::string_view heldAt = kProgressDownloading) {
        return [this, result, heldAt](const UpdateProgress& progress) {
            progress(heldAt);
            std::unique_lock lock(m_mutex);
            m_released.wait_for(lock, 10s, [this] { return m_release; });
            progress(kProgressModuleFailed);
            return result;
        };
    }
    void Release() {
        {
            const std::lock_guard lock(m_mutex);
            m_release = true;
        }
        m_released.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_release = false;
};

TEST(LauncherSessionTest, ProgressIsShownBehindThePrefixAndTheWindowClosesAsTheResultSays) {
    const std::vector<std::pair<UpdateResult, std::string>> cases = {
        {UpdateResult::Current, "close after 0 ms"},
        {UpdateResult::Updated, "close after 0 ms"},
        {UpdateResult::ManifestNotFetched, "close after 2000 ms"},
        {UpdateResult::ManifestNotParsed, "close after 2000 ms"},
        {UpdateResult::ModuleNotFetched, "close after 2000 ms"},
        {UpdateResult::NotInstalled, "close after 2000 ms"},
    };
    for (const auto& [result, close] : cases) {
        FakeLauncherWindow window;
        int starts = 0;
        LauncherSession session(
            [result](const UpdateProgress& progress) {
                progress(kProgressChecking);
                return result;
            },
            [&starts] { ++starts; });
        session.Start(window);
        ASSERT_TRUE(zn::test::WaitFor([&] { return window.Calls().size() == 2; }));
        EXPECT_EQ(window.Calls(),
                  (std::vector<std::string>{"(Esc键取消更新) 正在检查程序更新...请稍候", close}));
        EXPECT_EQ(starts, 0) << "started before the window went";
        session.OnWindowGone();
        session.OnWindowGone();
        EXPECT_EQ(starts, 1);
    }
}

TEST(LauncherSessionTest, WindowClosedDuringTheRunStartsTheProgramAtOnceAndHearsNoMore) {
    HeldRun held;
    FakeLauncherWindow window;
    int starts = 0;
    LauncherSession session(held.Run(UpdateResult::ModuleNotFetched), [&starts] { ++starts; });
    session.Start(window);
    ASSERT_TRUE(zn::test::WaitFor([&] { return window.Calls().size() == 1; }));

    session.OnWindowGone();  // Esc
    EXPECT_EQ(starts, 1);
    EXPECT_TRUE(session.WorkerRunning());
    held.Release();
    ASSERT_TRUE(zn::test::WaitFor([&] { return !session.WorkerRunning(); }));
    EXPECT_EQ(window.Calls().size(), 1u) << "the worker reached a window that had gone";
    EXPECT_EQ(starts, 1);
}

TEST(LauncherSessionTest, WindowClosedDuringTheInstallationStartsTheProgramOnceItIsDone) {
    HeldRun held;
    FakeLauncherWindow window;
    std::atomic<int> starts = 0;
    LauncherSession session(held.Run(UpdateResult::Updated, kProgressDeploying),
                            [&starts] { ++starts; });
    session.Start(window);
    ASSERT_TRUE(zn::test::WaitFor([&] { return window.Calls().size() == 1; }));

    std::thread esc([&session] { session.OnWindowGone(); });
    std::this_thread::sleep_for(200ms);  // the time an early start would need
    EXPECT_EQ(starts, 0) << "started among half-copied files";
    held.Release();
    esc.join();
    EXPECT_EQ(starts, 1);
    EXPECT_FALSE(session.WorkerRunning());
}

}  // namespace
}  // namespace zn::launcher
