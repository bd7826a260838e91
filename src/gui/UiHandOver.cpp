#include "gui/UiHandOver.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <mutex>

namespace zn::gui {

struct UiHandOver::State {
    std::mutex mutex;
    std::condition_variable ran;
    bool cancelled = false;
};

UiHandOver::UiHandOver() : m_state(std::make_shared<State>()), m_context(new QObject) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QObject::connect(app, &QCoreApplication::aboutToQuit, m_context.get(),
                         [this] { Cancel(); });
    }
}

UiHandOver::~UiHandOver() {
    Cancel();
}

bool UiHandOver::Run(const std::function<void()>& job) {
    if (QThread::currentThread() == m_context->thread()) {
        job();
        return true;
    }
    struct Progress {
        bool started = false;
        bool done = false;
    };
    auto progress = std::make_shared<Progress>();  // guarded by the state's mutex
    std::unique_lock lock(m_state->mutex);
    if (m_state->cancelled) {
        return false;
    }
    // The caller waits until the job has run, or was cancelled before it started, so `job` (and
    // whatever it refers to) outlives every use, even when a cancel comes while it runs.
    QMetaObject::invokeMethod(
        m_context.get(),
        [state = m_state, progress, &job] {
            {
                const std::lock_guard guard(state->mutex);
                if (state->cancelled) {
                    return;
                }
                progress->started = true;
            }
            job();
            {
                const std::lock_guard guard(state->mutex);
                progress->done = true;
            }
            state->ran.notify_all();
        },
        Qt::QueuedConnection);
    m_state->ran.wait(lock,
                      [&] { return progress->done || (m_state->cancelled && !progress->started); });
    return progress->done;
}

void UiHandOver::Cancel() {
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->cancelled = true;
    }
    m_state->ran.notify_all();
}

}  // namespace zn::gui
