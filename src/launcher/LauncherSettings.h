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

// Our own addition: the minisign public keys that releases must be signed with; empty (the
// default) takes releases unverified.
std::string UpdatePublicKey();

// Our own addition: the socket of the seat's update service, which runs the update under an
// account of its own; empty (the default) runs it in the launcher.
std::string UpdateService();

// Where the client's release comes from: the address split into host and port, checked against
// "UpdatePublicKey" when it is set, the manifest given up kManifestWait after `launcherStart`.
UpdateSite ClientUpdateSite(std::chrono::steady_clock::time_point launcherStart);

}  // namespace zn::launcher::LauncherSettings
