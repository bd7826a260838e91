#include "Strays.h"

#include <signal.h>

#include <cctype>
#include <system_error>

namespace zn::e2e {

std::vector<pid_t> ProgramsUnder(const std::filesystem::path& folder) {
    std::error_code error;
    const std::string prefix = std::filesystem::weakly_canonical(folder, error).string() + "/";
    std::vector<pid_t> found;
    std::filesystem::directory_iterator entry("/proc", error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.empty() || !std::isdigit(static_cast<unsigned char>(name.front()))) {
            continue;
        }
        std::error_code linkError;
        const std::string program = std::filesystem::read_symlink(entry->path() / "exe", linkError);
        if (!linkError && program.starts_with(prefix)) {
            found.push_back(static_cast<pid_t>(std::stol(name)));
        }
    }
    return found;
}

void KillProgramsUnder(const std::filesystem::path& folder) {
    for (const pid_t pid : ProgramsUnder(folder)) {
        if (getpgid(pid) == pid) {
            kill(-pid, SIGKILL);
        }
        kill(pid, SIGKILL);
    }
}

}  // namespace zn::e2e
