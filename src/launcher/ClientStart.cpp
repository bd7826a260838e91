#include "launcher/ClientStart.h"

#include "launcher/LauncherSettings.h"
#include "platform/Log.h"
#include "update/CommandRunner.h"

namespace zn::launcher {

bool StartClient(const std::filesystem::path& programFolder,
                 const std::vector<std::string>& arguments) {
    // Exactly the installed name: a ".exe" added here would run a file a customer dropped beside
    // the client.
    const CommandRunner client(CommandRunner::kFromProgramFolder, LauncherSettings::Main(),
                               arguments, programFolder);
    if (client.Run() != 0) {
        return false;
    }
    log::Info("Client started: {} with {} arguments", client.Path(), arguments.size());
    return true;
}

}  // namespace zn::launcher
