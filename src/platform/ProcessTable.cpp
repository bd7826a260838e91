#include "platform/ProcessTable.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string_view>
#include <system_error>

#include "platform/UniqueFd.h"

namespace zn {

namespace {

constexpr std::string_view kDeletedMark = " (deleted)";

std::filesystem::path ProcessFolder(pid_t pid) {
    return "/proc/" + std::to_string(pid);
}

std::string LastPart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

std::optional<ProcessStat> ReadProcessStat(pid_t pid) {
    const std::string file = ProcessFolder(pid) / "stat";
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

std::filesystem::path ProgramFileOf(pid_t pid) {
    std::error_code error;
    std::filesystem::path file = std::filesystem::read_symlink(ProcessFolder(pid) / "exe", error);
    return error ? std::filesystem::path() : file;
}

std::string ProgramNameOf(pid_t pid) {
    std::string exe = ProgramFileOf(pid).string();
    if (!exe.empty()) {
        if (exe.ends_with(kDeletedMark)) {
            exe.resize(exe.size() - kDeletedMark.size());
        }
        return LastPart(exe);
    }
    // Another user's process: its first argument is what we can see.
    std::ifstream commandLine(ProcessFolder(pid) / "cmdline", std::ios::binary);
    std::string first;
    std::getline(commandLine, first, '\0');
    return LastPart(first);
}

}  // namespace zn
