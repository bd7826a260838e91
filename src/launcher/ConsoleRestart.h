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

// The console launcher's run: waits up to `endWait` for the console in programFolder to end, then
// upgrades it (RunConsoleUpgrade) from the console's update site. A console still running is left
// as it is (NotInstalled, logged).
UpdateResult UpgradeConsole(const Registry& registry, const std::filesystem::path& programFolder,
                            const UpdateProgress& progress,
                            std::chrono::milliseconds endWait = kConsoleEndWait);

// Starts programFolder/ZentrovaNubraConsole without arguments and without waiting; false (logged)
// when it could not be started.
bool StartConsole(const std::filesystem::path& programFolder);

}  // namespace zn::launcher
