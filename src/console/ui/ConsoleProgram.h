#pragma once

#include <chrono>
#include <functional>

#include "console/BackOffice.h"
#include "console/ConsoleWindowController.h"

namespace zn::console {

class CZentrovaNubraConsoleDlg;

// Additions a test driver makes to the program; the product runs without any.
struct ConsoleProgramHooks {
    // Once the main window has been set up, before the event loop runs.
    std::function<void(CZentrovaNubraConsoleDlg& window)> started;
    // How often a login page that cannot be loaded is tried again.
    std::chrono::milliseconds loginPageRetryPeriod = kLoginPageRetryPeriod;
    // The period of the hourly update work.
    std::chrono::milliseconds updatePeriod = kUpdateTimerPeriod;
    // The unit of "ReminderMinutes".
    std::chrono::milliseconds reminderUnit = kReminderUnit;
};

// The whole console program: the single-instance check, the sockets, the main window with its
// popup, tray and services, and the event loop until a confirmed exit. Returns the exit code.
int RunConsoleProgram(int argc, char** argv, const ConsoleProgramHooks& hooks = {});

}  // namespace zn::console
