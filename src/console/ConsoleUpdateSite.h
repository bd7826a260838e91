#pragma once

#include "update/UpdateRun.h"

namespace zn::console {

class ConsoleSettings;

// Where the console's releases come from: "UpdateServerPath" on "UpdateServerAddress", which is
// split into host and port as the launcher's address is, so that an update server on a port other
// than 80 (the local web host) is reached. An address without a port gives port 80. Releases are
// checked against "UpdatePublicKey" when it is set.
UpdateSite ConsoleUpdateSite(const ConsoleSettings& settings);

}  // namespace zn::console
