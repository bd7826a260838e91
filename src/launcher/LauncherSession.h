#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "update/UpdateRun.h"

namespace zn::launcher {

// Shown before every progress text.
inline constexpr std::string_view kStatusPrefix = "(Esc键取消更新) ";
// A failure text stays on screen this long before the window closes, so it can be read.
inline constexpr std::chrono::milliseconds kFailureTextHold{2000};
// When the manifest has not come, the client starts at most 15 s after the launcher did: the
// manifest's fetch gives up this long after the start, then its failure text stays
// kFailureTextHold.
inline constexpr std::chrono::seconds kManifestWait{12};

// The launcher's window as the update worker reaches it. Any thread; neither call waits: each is
// carried out later on the UI thread.
class ILauncherWindow {
public:
    virtual ~ILauncherWindow() = default;
    virtual void PostStatusLine(std::string line) = 0;
    virtual void PostClose(std::chrono::milliseconds delay) = 0;
};

// The launcher's update run, on the worker thread.
using LauncherRun = std::function<UpdateResult(const UpdateProgress& progress)>;

std::string StatusLine(std::string_view progressText);
// How long the window stays once the run returned: 0 for a current or a completed update.
std::chrono::milliseconds CloseDelay(UpdateResult result);

// One launcher run: a worker updates while the window shows its progress and closes it when done;
// when the window goes (the worker's close, Esc or Enter) the program is started, exactly once.
// The worker reaches the window only while it exists; nobody waits for the worker.
class LauncherSession {
public:
    // `startProgram` runs on the UI thread.
    LauncherSession(LauncherRun run, std::function<void()> startProgram);
    ~LauncherSession();
    LauncherSession(const LauncherSession&) = delete;
    LauncherSession& operator=(const LauncherSession&) = delete;

    // UI thread, once the window is shown: starts the worker. Without a thread (logged) the window
    // closes at once.
    void Start(ILauncherWindow& window);
    // UI thread: the window has gone. The worker reaches it no more, and the program is started
    // the first time.
    void OnWindowGone();
    // Any thread: the update run has not returned yet.
    bool WorkerRunning() const;

private:
    struct Shared;

    std::shared_ptr<Shared> m_shared;
    LauncherRun m_run;
    std::function<void()> m_startProgram;
    bool m_programStarted = false;
};

}  // namespace zn::launcher
