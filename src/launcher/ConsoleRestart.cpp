#include "launcher/ConsoleRestart.h"

#include "console/ConsoleSettings.h"
#include "console/ConsoleUpdateSite.h"
#include "platform/Log.h"
#include "platform/ProcessesByName.h"
#include "update/CommandRunner.h"

namespace zn::launcher {

UpdateResult UpgradeConsole(const Registry& registry, const std::filesystem::path& programFolder,
                            const UpdateProgress& progress, std::chrono::milliseconds endWait) {
    progress(kProgressWaitingForConsole);
    if (!WaitForProgramEnd(programFolder / kConsoleProgram, endWait)) {
        log::Error("The console in {} is still running after {} s; it is not upgraded",
                   programFolder.string(),
                   std::chrono::duration_cast<std::chrono::seconds>(endWait).count());
        progress(kProgressNotInstalled);
        return UpdateResult::NotInstalled;
    }
    const UpdateSite site = console::ConsoleUpdateSite(console::ConsoleSettings(registry));
    const UpdateResult result = RunConsoleUpgrade(site, programFolder, progress);
    if (result != UpdateResult::Current && result != UpdateResult::Updated) {
        log::Error("The console's upgrade from {}:{}/{} failed ({}); the console starts as it was",
                   site.host, site.port, site.path, static_cast<int>(result));
    }
    return result;
}

bool StartConsole(const std::filesystem::path& programFolder, std::chrono::milliseconds endWait) {
    if (!WaitForProgramEnd(programFolder / kConsoleProgram, endWait)) {
        log::Error("The console in {} is still running after {} s; no second one is started",
                   programFolder.string(),
                   std::chrono::duration_cast<std::chrono::seconds>(endWait).count());
        return false;
    }
    const CommandRunner console(CommandRunner::kFromProgramFolder, kConsoleProgram, {},
                                programFolder);
    return console.Run() == 0;
}

}  // namespace zn::launcher
