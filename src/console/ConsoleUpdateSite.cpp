#include "console/ConsoleUpdateSite.h"

#include "console/ConsoleSettings.h"

namespace zn::console {

UpdateSite ConsoleUpdateSite(const ConsoleSettings& settings) {
    HostAndPort address = SplitLauncherAddress(settings.UpdateServerAddress());
    return {std::move(address.host),
            address.port,
            settings.UpdateServerPath(),
            {},
            ReleaseTrust::FromSetting(settings.UpdatePublicKey())};
}

}  // namespace zn::console
