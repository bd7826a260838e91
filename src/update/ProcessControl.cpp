#include "update/ProcessControl.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/AsciiCase.h"
#include "platform/ExeSuffix.h"
#include "platform/Log.h"
#include "update/CommandRunner.h"

namespace zn {

namespace {

constexpr std::chrono::milliseconds kPollInterval{20};
constexpr std::string_view kDeletedMark = " (deleted)";

std::string LastPart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ProgramNameOf(const std::filesystem::path& processFolder) {
    std::error_code error;
    std::string exe = std::filesystem::read_symlink(processFolder / "exe", error).string();
    if (!error && !exe.empty()) {
        if (exe.ends_with(kDeletedMark)) {
            exe.resize(exe.size() - kDeletedMark.size());
        }
        return LastPart(exe);
    }
    // Another user's process: its first argument is what we can see.
    std::ifstream commandLine(processFolder / "cmdline", std::ios::binary);
    std::string first;
    std::getline(commandLine, first, '\0');
    return LastPart(first);
}

// The state letter of /proc/<pid>/stat; nullopt when the process is gone.
std::optional<char> StateOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) {
        return std::nullopt;
    }
    // The name in parentheses may itself hold ")" and blanks; the state follows the last ")".
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size()) {
        return std::nullopt;
    }
    return text[close + 2];
}

bool HasEnded(pid_t pid) {
    const auto state = StateOf(pid);
    return !state || *state == 'Z' || *state == 'X';
}

std::vector<pid_t> ProcessIds() {
    std::vector<pid_t> ids;
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc", error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        pid_t pid = 0;
        const auto [last, failure] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (failure == std::errc() && last == name.data() + name.size()) {
            ids.push_back(pid);
        }
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool WaitUntilEnded(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!HasEnded(pid)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

}  // namespace

std::optional<pid_t> FindProcessByName(std::string_view fileName) {
    const std::string_view withoutExe = WithoutExeSuffix(fileName);
    for (const pid_t pid : ProcessIds()) {
        const std::string name = ProgramNameOf("/proc/" + std::to_string(pid));
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
    if (::kill(*pid, SIGTERM) != 0) {
        log::Warn("Cannot ask {} (process {}) to end: {}", fileName, *pid, std::strerror(errno));
        return false;
    }
    if (WaitUntilEnded(*pid, closeWait)) {
        return true;
    }
    log::Warn("{} (process {}) did not end within {} ms; killing it", fileName, *pid,
              closeWait.count());
    if (::kill(*pid, SIGKILL) != 0) {
        log::Error("Cannot kill {} (process {}): {}", fileName, *pid, std::strerror(errno));
        return false;
    }
    return true;
}

void StartProgram(std::string_view baseName, const std::filesystem::path& programFolder) {
    CommandRunner(CommandRunner::kFromProgramFolder, baseName, {}, programFolder).Run();
}

}  // namespace zn
