#include "LauncherProgram.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "LauncherDlg.h"
#include "launcher/ClientStart.h"
#include "launcher/ConsoleRestart.h"
#include "launcher/LauncherSession.h"
#include "launcher/LauncherSettings.h"
#include "launcher/UpdateServiceClient.h"
#include "platform/Log.h"
#include "platform/ProgramFolder.h"
#include "platform/Registry.h"

namespace zn::launcher {
namespace {

// Qt sees no argument of the launcher's: they belong to the program it starts. The exit code: 0
// when the program was started, else 1.
int RunWindow(const char* programName, LauncherSession& session, const bool& programStarted,
              const LauncherProgramHooks& hooks) {
    int qtArgc = 1;
    char* qtArgv[] = {const_cast<char*>(programName), nullptr};
    QApplication app(qtArgc, qtArgv);
    {
        LauncherDlg window;
        window.show();
        session.Start(window);
        if (hooks.started) {
            hooks.started(window);
        }
        window.exec();
        session.OnWindowGone();
    }
    if (session.WorkerRunning()) {
        // An abandoned update is never recorded; it ends with the process.
        log::Info("The update was abandoned");
        spdlog::default_logger()->flush();
        std::fflush(nullptr);
        std::_Exit(programStarted ? 0 : 1);
    }
    return programStarted ? 0 : 1;
}

}  // namespace

int RunClientLauncherProgram(int argc, char** argv, const LauncherProgramHooks& hooks) {
    const auto start = std::chrono::steady_clock::now();
    log::StartProgramLog("LaunchNubraClient");
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const std::filesystem::path folder = ProgramFolder();
    bool started = false;
    LauncherSession session(
        [folder, start](const UpdateProgress& progress) {
            if (const std::string service = LauncherSettings::UpdateService(); !service.empty()) {
                return RunThroughUpdateService(service, start + kManifestWait, progress);
            }
            return RunLauncherUpdate(LauncherSettings::ClientUpdateSite(start), folder, progress);
        },
        [&] { started = StartClient(folder, arguments); });
    return RunWindow(argc > 0 ? argv[0] : "LaunchNubraClient", session, started, hooks);
}

int RunConsoleLauncherProgram(int argc, char** argv, const LauncherProgramHooks& hooks) {
    log::StartProgramLog("LaunchNubraServer");
    const Registry registry(Registry::DefaultFolder());
    const std::filesystem::path folder = ProgramFolder();
    bool started = false;
    LauncherSession session(
        [&registry, folder](const UpdateProgress& progress) {
            return UpgradeConsole(registry, folder, progress);
        },
        [&] { started = StartConsole(folder); });
    return RunWindow(argc > 0 ? argv[0] : "LaunchNubraServer", session, started, hooks);
}

}  // namespace zn::launcher
