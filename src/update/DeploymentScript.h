#pragma once

#include <chrono>
#include <filesystem>

#include "platform/ProcessesByName.h"
#include "platform/Registry.h"
#include "update/CommandRunner.h"
#include "update/ServiceControl.h"

namespace zn {

// Every wait of a script walk, with its bound.
struct DeploymentLimits {
    std::chrono::milliseconds initializePause{1000};  // after StopService and StopApp
    ServiceWait serviceWait;
    std::chrono::milliseconds programWait{kProgramWaitLimit};
    std::chrono::milliseconds processCloseWait{kProcessCloseWait};
};

// What the deployment acts on.
struct DeploymentContext {
    std::filesystem::path programFolder;  // modules are read from programFolder/Content
    const Registry& registry;
    IServiceManager& services;
    std::filesystem::path logFile;  // UpdateLogFile() in the programs
    DeploymentLimits limits;
};

// Runs the deployment script of a local "ContentUpdate.xml": every Initialize step (pausing after
// StopService and StopApp), then every Module (its file copied from the content folder to
// "CopyTo", then its Registry and Execute entries), then every Finalize step. No result stops the
// walk. A script that does not load is skipped; a module whose "ModulePath" or "CopyTo" leaves its
// folder is skipped whole (logged); a failed copy is recorded in the log file.
void RunDeploymentScript(const std::filesystem::path& scriptFile, const DeploymentContext& context);

}  // namespace zn
