#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ProfileFile.h"

namespace zn {
class Registry;
}

namespace zn::client {

// The seat client's settings: "gameclient.dat" and "serverip.ini" (section "PROFILE_QZ") in the
// working folder, and its registry key. Nothing is cached: each call reads again, and a missing
// or unreadable value gives the default. Ports follow StoredPort. The one exception: a console
// address that could not be saved (a seat whose "serverip.ini" only the administrator may write)
// holds until the program ends, so that the customer's correction or a discovery still counts.
class ClientSettings {
public:
    ClientSettings(const Registry& registry, std::filesystem::path workingFolder);

    // "gameclient.dat"; a present key without digits gives 0.
    std::uint16_t LocalPort() const;   // 8004
    std::uint16_t RemotePort() const;  // 8001
    std::uint16_t ProxyPort() const;   // 8002
    int CounterMode() const;           // 0; 1 or more: the client runs at the counter
    std::string MainPage() const;
    std::string Main() const;
    std::string UpdateServerAddress() const;
    std::string UpdateServerPath() const;
    // The shop's own domain, put into the trusted zone at each start: "ShopDomain", else the one
    // chosen when the program was built.
    std::string ShopDomain() const;

    // "serverip.ini"; default "127.0.0.1". An address that could not be saved comes first.
    std::string ServerAddress() const;
    // Creates the file and the section when missing. False when the write failed (logged); the
    // address then holds for this run.
    bool WriteServerAddress(std::string_view address) const;

    // HKEY_LOCAL_MACHINE "SOFTWARE\Pexora\ZentrovaClient"; a key that cannot be opened with full
    // access, a missing value or 0 gives 9000.
    std::uint16_t BroadcastPort() const;

private:
    ProfileFile GameClient() const;
    std::uint16_t Port(std::string_view name, std::uint16_t fallback) const;

    const Registry& m_registry;
    std::filesystem::path m_folder;
    // Behind a pointer, so that the settings stay movable.
    std::unique_ptr<std::mutex> m_unsavedMutex = std::make_unique<std::mutex>();
    mutable std::optional<std::string> m_unsavedAddress;
};

}  // namespace zn::client
