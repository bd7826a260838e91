#include "console/LauncherCommand.h"

#include <system_error>

namespace zn::console {

CommandRunner LauncherCommand(const std::string& launch,
                              const std::filesystem::path& programFolder) {
    const bool bareName = launch.find_first_of("/\\") == std::string::npos;
    if (bareName) {
        const CommandRunner inFolder(CommandRunner::kFromProgramFolder, launch, {}, programFolder);
        std::error_code error;
        if (std::filesystem::is_regular_file(inFolder.Path(), error)) {
            return inFolder;
        }
    }
    return CommandRunner(0, launch, {}, programFolder);
}

}  // namespace zn::console
