#include "launcher/LauncherSession.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "platform/Log.h"
#include "platform/Threads.h"

namespace zn::launcher {

// What the worker shares with the UI thread; it outlives the session while the worker runs.
struct LauncherSession::Shared {
    std::mutex mutex;
    ILauncherWindow* window = nullptr;
    std::atomic<bool> running = false;
    bool installing = false;  // under the mutex
    std::condition_variable ended;

    void Post(const std::function<void(ILauncherWindow&)>& call) {
        const std::lock_guard lock(mutex);
        if (window != nullptr) {
            call(*window);
        }
    }
};

std::string StatusLine(std::string_view progressText) {
    std::string line(kStatusPrefix);
    line += progressText;
    return line;
}

std::chrono::milliseconds CloseDelay(UpdateResult result) {
    const bool failed = result != UpdateResult::Current && result != UpdateResult::Updated;
    return failed ? kFailureTextHold : std::chrono::milliseconds(0);
}

LauncherSession::LauncherSession(LauncherRun run, std::function<void()> startProgram)
    : m_shared(std::make_shared<Shared>()),
      m_run(std::move(run)),
      m_startProgram(std::move(startProgram)) {}

LauncherSession::~LauncherSession() {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->window = nullptr;
}

void LauncherSession::Start(ILauncherWindow& window) {
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->window = &window;
    }
    m_shared->running = true;
    const bool started = StartDetachedThread([shared = m_shared, run = m_run] {
        const UpdateResult result = run([&shared](std::string_view text) {
            log::Info("Status: {}", text);
            if (text == kProgressDeploying) {
                const std::lock_guard lock(shared->mutex);
                shared->installing = true;
            }
            shared->Post([line = StatusLine(text)](ILauncherWindow& w) { w.PostStatusLine(line); });
        });
        shared->Post([delay = CloseDelay(result)](ILauncherWindow& w) { w.PostClose(delay); });
        {
            const std::lock_guard lock(shared->mutex);
            shared->running = false;
        }
        shared->ended.notify_all();
    });
    if (!started) {
        log::Error("No thread for the update; the program starts without it");
        m_shared->running = false;
        window.PostClose(std::chrono::milliseconds(0));
    }
}

void LauncherSession::OnWindowGone() {
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->window = nullptr;
        // Esc during the copies would leave old and new program files side by side.
        if (m_shared->installing && m_shared->running &&
            !m_shared->ended.wait_for(lock, kInstallWaitLimit,
                                      [this] { return !m_shared->running; })) {
            log::Error("The installation has not finished after {} minutes; going on without it",
                       kInstallWaitLimit.count());
        }
    }
    if (!m_programStarted) {
        m_programStarted = true;
        m_startProgram();
    }
}

bool LauncherSession::WorkerRunning() const {
    return m_shared->running;
}

}  // namespace zn::launcher
