#include "client/ClientSettings.h"

#include <utility>

#include "common/DefaultHosts.h"
#include "net/StoredPort.h"
#include "platform/Log.h"
#include "platform/Registry.h"

#ifndef ZN_SHOP_DOMAIN
#error "ZN_SHOP_DOMAIN must name the shop's default domain"
#endif

namespace zn::client {
namespace {

constexpr std::string_view kSection = "PROFILE_QZ";
constexpr std::uint16_t kDefaultBroadcastPort = 9000;

}  // namespace

ClientSettings::ClientSettings(const Registry& registry, std::filesystem::path workingFolder)
    : m_registry(registry), m_folder(std::move(workingFolder)) {}

ProfileFile ClientSettings::GameClient() const {
    return ProfileFile(m_folder / "gameclient.dat");
}

std::uint16_t ClientSettings::Port(std::string_view name, std::uint16_t fallback) const {
    const int stored = GameClient().GetInt(kSection, name, fallback);
    return StoredPort(name, static_cast<std::uint64_t>(stored), fallback);
}

std::uint16_t ClientSettings::LocalPort() const {
    return Port("LocalPort", 8004);
}

std::uint16_t ClientSettings::RemotePort() const {
    return Port("RemotePort", 8001);
}

std::uint16_t ClientSettings::ProxyPort() const {
    return Port("ProxyPort", 8002);
}

int ClientSettings::CounterMode() const {
    return GameClient().GetInt(kSection, "CounterMode", 0);
}

std::string ClientSettings::MainPage() const {
    return GameClient().GetString(kSection, "MainPage",
                                  std::string(DefaultHosts::kShop) + "/wb/indexc.jsp");
}

std::string ClientSettings::Main() const {
    return GameClient().GetString(kSection, "Main", "ZentrovaNubraClient_Murvel");
}

std::string ClientSettings::UpdateServerAddress() const {
    return GameClient().GetString(kSection, "UpdateServerAddress", DefaultHosts::kUpdateServer);
}

std::string ClientSettings::UpdateServerPath() const {
    return GameClient().GetString(kSection, "UpdateServerPath",
                                  "Zentrova/NubraClient_Murvel/Update/");
}

std::string ClientSettings::ShopDomain() const {
    return GameClient().GetString(kSection, "ShopDomain", ZN_SHOP_DOMAIN);
}

std::string ClientSettings::ServerAddress() const {
    {
        const std::lock_guard lock(*m_unsavedMutex);
        if (m_unsavedAddress) {
            return *m_unsavedAddress;
        }
    }
    return ProfileFile(m_folder / "serverip.ini").GetString(kSection, "ServerAddress", "127.0.0.1");
}

bool ClientSettings::WriteServerAddress(std::string_view address) const {
    const std::filesystem::path file = m_folder / "serverip.ini";
    const bool saved = ProfileFile(file).WriteString(kSection, "ServerAddress", address);
    const std::lock_guard lock(*m_unsavedMutex);
    if (saved) {
        m_unsavedAddress.reset();
    } else {
        m_unsavedAddress = std::string(address);
        log::Warn(
            "The console's address {} cannot be saved in {}; it holds until the seat client "
            "ends",
            log::Printable(address), file.string());
    }
    return saved;
}

std::uint16_t ClientSettings::BroadcastPort() const {
    const auto key =
        m_registry.OpenKey(RegistryRoot::LocalMachine, "SOFTWARE\\Pexora\\ZentrovaClient");
    const std::uint32_t value = key ? key->QueryDword("BroadcastPort").value_or(0) : 0;
    return value == 0 ? kDefaultBroadcastPort
                      : StoredPort("BroadcastPort", value, kDefaultBroadcastPort);
}

}  // namespace zn::client
