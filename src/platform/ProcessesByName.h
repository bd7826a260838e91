#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string_view>

namespace zn {

// Processes that need not be ours, found through /proc and waited for through a process
// descriptor.

inline constexpr std::chrono::seconds kProcessCloseWait{5};

// The lowest process id whose program file name (the last part of /proc/<pid>/exe, else of its
// first argument) equals `fileName` ignoring case, or, when `fileName` ends in ".exe", equals it
// without that ending (Linux programs have none); processes that have already ended (zombies) do
// not count.
std::optional<pid_t> FindProcessByName(std::string_view fileName);

// Stops the first matching process: SIGTERM (the window close), up to `closeWait` for it to end,
// then SIGKILL. True when it ended by itself or was killed; false when none matched or the signal
// was refused.
bool StopProcessByName(std::string_view fileName,
                       std::chrono::milliseconds closeWait = kProcessCloseWait);

// Whether a live process runs the program file (an ended one that is not yet reaped does not).
bool IsProgramRunning(const std::filesystem::path& file);

// Waits up to `limit` for every process of the program file to end; true when none is left.
bool WaitForProgramEnd(const std::filesystem::path& file, std::chrono::milliseconds limit);

}  // namespace zn
