#include "platform/ProgramFolder.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <system_error>
#include <vector>

namespace zn {
namespace {

std::string EnvironmentValue(const char* name) {
    const char* value = getenv(name);
    return value ? std::string(value) : std::string();
}

std::filesystem::path HomeFolder() {
    if (const std::string home = EnvironmentValue("HOME"); !home.empty()) {
        return home;
    }
    long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(bufferSize > 0 ? bufferSize : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] != '\0') {
        return found->pw_dir;
    }
    std::error_code ignored;
    return std::filesystem::temp_directory_path(ignored);
}

}  // namespace

std::filesystem::path ProgramFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    // A program file replaced while running reads as "<path> (deleted)"; its folder is unchanged.
    return error ? std::filesystem::path() : program.parent_path();
}

std::filesystem::path ContentFolder() {
    return ProgramFolder() / "Content";
}

std::filesystem::path DriveC() {
    if (std::string folder = EnvironmentValue("ZENTROVA_DRIVE_C"); !folder.empty()) {
        return folder;
    }
    // A relative XDG_STATE_HOME is invalid and ignored, as the base directory rules say.
    const std::filesystem::path stateHome = EnvironmentValue("XDG_STATE_HOME");
    if (stateHome.is_absolute()) {
        return stateHome / "zentrova";
    }
    return HomeFolder() / ".local" / "state" / "zentrova";
}

}  // namespace zn
