#include "launcher/ClientStart.h"

#include "launcher/LauncherSettings.h"
#include "platform/Log.h"
#include "update/CommandRunner.h"

namespace zn::launcher {

bool StartClient(const std::filesystem::path& programFolder,
                 const std::vector<std::string>& arguments) {
    const CommandRunner client(CommandRunner::kFromProgramFolder, LauncherSettings::Main() + ".exe",
                               arguments, programFolder);
    if (client.Run() != 0) {
        return false;
    }
    log::Info("Client started: {} with {} arguments", client.Path(), arguments.size());
    return true;
}

}  // namespace zn::launcher
