#include "platform/ProcessIdentity.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace zn {

namespace {

struct ProcessStat {
    char state = '?';
    std::uint64_t startTicks = 0;
};

std::optional<ProcessStat> ReadProcessStat(pid_t pid) {
    const std::string file = "/proc/" + std::to_string(pid) + "/stat";
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsValid()) {
        return std::nullopt;
    }
    char buffer[1024];
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got <= 0) {
        return std::nullopt;
    }
    const std::string_view text(buffer, static_cast<std::size_t>(got));
    // The command name may hold spaces and parentheses; the fields start after the last ')'.
    const auto close = text.rfind(')');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = text.substr(close + 1);
    ProcessStat stat;
    // After the name: state is field 3, starttime field 22.
    for (int field = 3; field <= 22; ++field) {
        const auto start = rest.find_first_not_of(' ');
        if (start == std::string_view::npos) {
            return std::nullopt;
        }
        rest.remove_prefix(start);
        const auto end = std::min(rest.find(' '), rest.size());
        const std::string_view value = rest.substr(0, end);
        if (field == 3) {
            stat.state = value.front();
        } else if (field == 22) {
            const auto [ptr, ec] =
                std::from_chars(value.data(), value.data() + value.size(), stat.startTicks);
            if (ec != std::errc() || ptr != value.data() + value.size()) {
                return std::nullopt;
            }
        }
        rest.remove_prefix(end);
    }
    return stat;
}

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
    if (stat->state == 'Z' || stat->state == 'X') {
        return false;
    }
    return startTicks == 0 || stat->startTicks == startTicks;
}

}  // namespace zn
