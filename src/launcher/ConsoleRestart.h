#pragma once

#include <chrono>
#include <filesystem>
#include <string_view>

#include "update/UpdateRun.h"

namespace zn {
class Registry;
}

namespace zn::launcher {

inline constexpr std::string_view kConsoleProgram = "ZentrovaNubraConsole";
// The console ends at once after starting its launcher; one that is still running after this
// is not replaced.
inline constexpr std::chrono::seconds kConsoleEndWait{15};
// Shown while the console ends, so the window is not empty meanwhile.
inline constexpr std::string_view kProgressWaitingForConsole = "正在等待收银台程序退出...请稍候";

// The console launcher's run: waits up to `endWait` for the console in programFolder to end, then
// upgrades it (RunConsoleUpgrade) from the console's update site. A console still running is left
// as it is (NotInstalled, logged).
UpdateResult UpgradeConsole(const Registry& registry, const std::filesystem::path& programFolder,
                            const UpdateProgress& progress,
                            std::chrono::milliseconds endWait = kConsoleEndWait);

// Starts programFolder/ZentrovaNubraConsole without arguments and without waiting, once the one
// that started the launcher has ended (up to `endWait`: Esc may come before the upgrade waited for
// it); false (logged) when it could not be started or the old one still runs.
bool StartConsole(const std::filesystem::path& programFolder,
                  std::chrono::milliseconds endWait = kConsoleEndWait);

}  // namespace zn::launcher
