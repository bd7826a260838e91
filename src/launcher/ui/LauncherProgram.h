#pragma once

#include <functional>

namespace zn::launcher {

class LauncherDlg;

// Additions a test driver makes to a launcher; the product runs without any.
struct LauncherProgramHooks {
    // Once the window is shown and the update has started.
    std::function<void(LauncherDlg& window)> started;
};

// LaunchNubraClient: the seat client's update, then the client named by "Main" with the
// launcher's arguments. 0 when the client was started, else 1.
int RunClientLauncherProgram(int argc, char** argv, const LauncherProgramHooks& hooks = {});

// LaunchNubraServer: waits for the console to end, upgrades it, and starts it again. 0 when the
// console was started, else 1.
int RunConsoleLauncherProgram(int argc, char** argv, const LauncherProgramHooks& hooks = {});

}  // namespace zn::launcher
