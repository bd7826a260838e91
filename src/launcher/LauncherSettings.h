#pragma once

#include <chrono>
#include <string>

#include "update/UpdateRun.h"

// The seat client launcher's keys of ".\gameclient.dat" (section "PROFILE_QZ"), read afresh from
// the current directory at each call; a missing file or key gives the default.
namespace zn::launcher::LauncherSettings {

// Base name of the client program in the launcher's folder; "ZentrovaNubraClient_Murvel".
std::string Main();
// "host" or "host:port"; the update server host by default.
std::string UpdateServerAddress();
// "Zentrova/NubraClient_Murvel/Update/".
std::string UpdateServerPath();

// Where the client's release comes from: the address split into host and port, the manifest
// given up kManifestWait after `launcherStart`.
UpdateSite ClientUpdateSite(std::chrono::steady_clock::time_point launcherStart);

}  // namespace zn::launcher::LauncherSettings
