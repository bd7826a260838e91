#include "launcher/ProgramEnd.h"

#include <cctype>
#include <system_error>
#include <thread>

namespace zn::launcher {
namespace {

constexpr std::chrono::milliseconds kPollPeriod{100};

bool IsProcessFolder(const std::filesystem::path& entry) {
    const std::string name = entry.filename().string();
    return !name.empty() && std::isdigit(static_cast<unsigned char>(name.front()));
}

}  // namespace

bool IsProgramRunning(const std::filesystem::path& file) {
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(file, error);
    if (error) {
        return false;
    }
    std::filesystem::directory_iterator entry("/proc", error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        if (!IsProcessFolder(entry->path())) {
            continue;
        }
        // The link of a process that has ended cannot be read.
        std::error_code linkError;
        if (std::filesystem::read_symlink(entry->path() / "exe", linkError) == wanted) {
            return true;
        }
    }
    return false;
}

bool WaitForProgramEnd(const std::filesystem::path& file, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (IsProgramRunning(file)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollPeriod);
    }
    return true;
}

}  // namespace zn::launcher
