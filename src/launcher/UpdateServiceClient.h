#pragma once

#include <filesystem>

#include "launcher/UpdateServiceWire.h"
#include "update/UpdateRun.h"

namespace zn::launcher {

// The launcher's update run through the seat's update service at `socket`: its progress texts
// are shown as they come and its result is returned. Until the manifest's outcome is known the
// answer is awaited until `manifestDeadline` only. A service that cannot be reached, breaks the
// protocol or stops answering in time is logged and counts as a server that cannot be reached
// (kProgressNoServer shown, ManifestNotFetched). Returning hangs up: a run still going is
// abandoned by the service unless it is deploying.
UpdateResult RunThroughUpdateService(const std::filesystem::path& socket,
                                     ServiceDeadline manifestDeadline,
                                     const UpdateProgress& progress);

}  // namespace zn::launcher
