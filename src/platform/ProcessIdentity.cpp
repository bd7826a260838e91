#include "platform/ProcessIdentity.h"

#include <signal.h>

#include <cerrno>

#include "platform/ProcessTable.h"

namespace zn {

namespace {

bool KillSaysAlive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

}  // namespace

std::optional<std::uint64_t> ProcessStartTicks(pid_t pid) {
    const auto stat = ReadProcessStat(pid);
    if (!stat) {
        return std::nullopt;
    }
    return stat->startTicks;
}

bool IsProcessAlive(pid_t pid, std::uint64_t startTicks) {
    if (pid <= 0 || !KillSaysAlive(pid)) {
        return false;
    }
    const auto stat = ReadProcessStat(pid);
    if (!stat) {
        return KillSaysAlive(pid);
    }
    if (stat->HasEnded()) {
        return false;
    }
    return startTicks == 0 || stat->startTicks == startTicks;
}

}  // namespace zn
