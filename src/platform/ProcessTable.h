#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zn {

// What /proc tells of every process: the one place that reads it.

struct ProcessStat {
    char state = '?';
    std::uint64_t startTicks = 0;  // when it started, in clock ticks since boot
    bool HasEnded() const { return state == 'Z' || state == 'X'; }
};

// nullopt when the process is gone or hidden.
std::optional<ProcessStat> ReadProcessStat(pid_t pid);

// Every process id, lowest first.
std::vector<pid_t> ProcessIds();

// Its program file as the kernel names it (a replaced file ends in " (deleted)"); empty when it
// cannot be read: the process has ended, or is another user's.
std::filesystem::path ProgramFileOf(pid_t pid);

// The file name of its program, else (another user's process) of its first argument.
std::string ProgramNameOf(pid_t pid);

}  // namespace zn
