#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace zn {

// When the process started, in clock ticks since boot; with the pid it names one process even
// after the pid is reused. nullopt when /proc does not tell (gone, or hidden).
std::optional<std::uint64_t> ProcessStartTicks(pid_t pid);

// False for a process that has ended (zombies included) or whose pid now belongs to a process
// started at another time. A start of 0 means unknown and is not compared.
bool IsProcessAlive(pid_t pid, std::uint64_t startTicks);

}  // namespace zn
