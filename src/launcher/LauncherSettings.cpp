#include "launcher/LauncherSettings.h"

#include "common/DefaultHosts.h"
#include "launcher/LauncherSession.h"
#include "platform/ProfileFile.h"

namespace zn::launcher::LauncherSettings {
namespace {

constexpr std::string_view kSection = "PROFILE_QZ";

std::string Read(std::string_view key, std::string_view fallback) {
    return ProfileFile("gameclient.dat").GetString(kSection, key, fallback);
}

}  // namespace

std::string Main() {
    return Read("Main", "ZentrovaNubraClient_Murvel");
}

std::string UpdateServerAddress() {
    return Read("UpdateServerAddress", DefaultHosts::kUpdateServer);
}

std::string UpdateServerPath() {
    return Read("UpdateServerPath", "Zentrova/NubraClient_Murvel/Update/");
}

std::string UpdatePublicKey() {
    return Read("UpdatePublicKey", "");
}

std::string UpdateService() {
    return Read("UpdateService", "");
}

UpdateSite ClientUpdateSite(std::chrono::steady_clock::time_point launcherStart) {
    HostAndPort address = SplitLauncherAddress(UpdateServerAddress());
    UpdateSite site{std::move(address.host), address.port, UpdateServerPath(), {}};
    site.trust = ReleaseTrust::FromSetting(UpdatePublicKey());
    site.manifestGiveUpAt = launcherStart + kManifestWait;
    return site;
}

}  // namespace zn::launcher::LauncherSettings
