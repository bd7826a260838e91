#include "platform/ProcessesByName.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/AsciiCase.h"
#include "platform/ExeSuffix.h"
#include "platform/Log.h"
#include "platform/ProcessFd.h"
#include "platform/ProcessTable.h"

namespace zn {

namespace {

bool HasEnded(pid_t pid) {
    const auto stat = ReadProcessStat(pid);
    return !stat || stat->HasEnded();
}

std::optional<pid_t> FirstProcessRunning(const std::filesystem::path& canonicalFile) {
    for (const pid_t pid : ProcessIds()) {
        if (ProgramFileOf(pid) == canonicalFile) {
            return pid;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<pid_t> FindProcessByName(std::string_view fileName) {
    const std::string_view withoutExe = WithoutExeSuffix(fileName);
    for (const pid_t pid : ProcessIds()) {
        const std::string name = ProgramNameOf(pid);
        const bool matches =
            EqualsIgnoringCase(name, fileName) || EqualsIgnoringCase(name, withoutExe);
        if (matches && !HasEnded(pid)) {
            return pid;
        }
    }
    return std::nullopt;
}

bool StopProcessByName(std::string_view fileName, std::chrono::milliseconds closeWait) {
    const auto pid = FindProcessByName(fileName);
    if (!pid) {
        return false;
    }
    // Signalled through the descriptor: the pid may be reused once the process is reaped.
    const UniqueFd processFd = OpenProcessFd(*pid);
    if (!processFd.IsValid() || !SignalProcessFd(processFd.Get(), SIGTERM)) {
        log::Warn("Cannot ask {} (process {}) to end: {}", fileName, *pid, std::strerror(errno));
        return false;
    }
    if (WaitForProcessFd(processFd.Get(), closeWait)) {
        return true;
    }
    log::Warn("{} (process {}) did not end within {} ms; killing it", fileName, *pid,
              closeWait.count());
    if (!SignalProcessFd(processFd.Get(), SIGKILL)) {
        log::Error("Cannot kill {} (process {}): {}", fileName, *pid, std::strerror(errno));
        return false;
    }
    return true;
}

bool IsProgramRunning(const std::filesystem::path& file) {
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(file, error);
    return !error && FirstProcessRunning(wanted).has_value();
}

bool WaitForProgramEnd(const std::filesystem::path& file, std::chrono::milliseconds limit) {
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(file, error);
    if (error) {
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (const auto pid = FirstProcessRunning(wanted)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !WaitForProcessEnd(*pid, left)) {
            return false;
        }
    }
    return true;
}

}  // namespace zn
