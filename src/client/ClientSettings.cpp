#include "client/ClientSettings.h"

#include "common/DefaultHosts.h"
#include "platform/ProfileFile.h"
#include "platform/Registry.h"

namespace zn::client::ClientSettings {
namespace {

constexpr std::string_view kSection = "PROFILE_QZ";
constexpr int kDefaultBroadcastPort = 9000;

ProfileFile GameClientFile() {
    return ProfileFile("gameclient.dat");
}

ProfileFile ServerAddressFile() {
    return ProfileFile("serverip.ini");
}

}  // namespace

int LocalPort() {
    return GameClientFile().GetInt(kSection, "LocalPort", 8004);
}

int RemotePort() {
    return GameClientFile().GetInt(kSection, "RemotePort", 8001);
}

int ProxyPort() {
    return GameClientFile().GetInt(kSection, "ProxyPort", 8002);
}

int CounterMode() {
    return GameClientFile().GetInt(kSection, "CounterMode", 0);
}

std::string MainPage() {
    return GameClientFile().GetString(kSection, "MainPage",
                                      std::string(DefaultHosts::kShop) + "/wb/indexc.jsp");
}

std::string Main() {
    return GameClientFile().GetString(kSection, "Main", "ZentrovaNubraClient_Murvel");
}

std::string UpdateServerAddress() {
    return GameClientFile().GetString(kSection, "UpdateServerAddress", DefaultHosts::kUpdateServer);
}

std::string UpdateServerPath() {
    return GameClientFile().GetString(kSection, "UpdateServerPath",
                                      "Zentrova/NubraClient_Murvel/Update/");
}

std::string ServerAddress() {
    return ServerAddressFile().GetString(kSection, "ServerAddress", "127.0.0.1");
}

bool WriteServerAddress(std::string_view address) {
    return ServerAddressFile().WriteString(kSection, "ServerAddress", address);
}

int BroadcastPort() {
    const Registry registry(Registry::DefaultFolder());
    const auto key =
        registry.OpenKey(RegistryRoot::LocalMachine, "SOFTWARE\\Pexora\\ZentrovaClient");
    if (!key) {
        return kDefaultBroadcastPort;
    }
    const std::uint32_t value = key->QueryDword("BroadcastPort").value_or(0);
    return value == 0 ? kDefaultBroadcastPort : static_cast<int>(value);
}

}  // namespace zn::client::ClientSettings
