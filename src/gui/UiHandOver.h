#pragma once

#include <functional>
#include <memory>

class QObject;

namespace zn::gui {

// Runs jobs on the UI thread and waits for them, from any thread. A call made on the UI thread
// runs at once (waiting for itself would hang). When the event loop ends (aboutToQuit) or
// Cancel() is called, waiting threads are released and later jobs are refused, since a job
// queued then would never run. Construct and destroy on the UI thread, after the last Run.
class UiHandOver {
public:
    UiHandOver();
    ~UiHandOver();
    UiHandOver(const UiHandOver&) = delete;
    UiHandOver& operator=(const UiHandOver&) = delete;

    // True once the job has run; false when it was refused or released without running.
    bool Run(const std::function<void()>& job);

    // UI thread.
    void Cancel();

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::unique_ptr<QObject> m_context;
};

}  // namespace zn::gui
