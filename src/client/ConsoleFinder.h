#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Addresses here are IPv4 in host byte order.
namespace zn::client {

class ClientSettings;

// Asks the proxy service for the console's address: its answer is exactly 4 bytes in network
// order. nullopt when the connection fails, fewer than 4 bytes arrive within `limit`, or the
// answer is 0.0.0.0 (which would otherwise connect to this machine).
std::optional<std::uint32_t> QueryConsoleAddress(std::uint32_t proxy, std::uint16_t proxyPort,
                                                 std::chrono::milliseconds limit);

// Broadcasts the probe to `broadcastPort` and waits up to `limit` for one datagram; a 4-byte one
// makes its sender the console.
std::optional<std::uint32_t> DiscoverConsole(std::uint16_t broadcastPort,
                                             std::chrono::milliseconds limit);

struct FinderOptions {
    std::chrono::milliseconds discoveryLimit{3000};
    std::chrono::milliseconds proxyLimit{5000};
    // How discovery reaches the network; empty: DiscoverConsole. Tests that must never broadcast
    // put a guard here.
    std::function<std::optional<std::uint32_t>(std::uint16_t broadcastPort,
                                               std::chrono::milliseconds limit)>
        discover;
};

// Finds the console from the seat's settings.
class ConsoleFinder {
public:
    explicit ConsoleFinder(const ClientSettings& settings, FinderOptions options = {});

    // "ServerAddress", then the proxy service, then discovery.
    std::optional<std::uint32_t> Find() const;
    // "ServerAddress", then the proxy service; never broadcasts.
    std::optional<std::uint32_t> FindWithoutDiscovery() const;
    // Discovery; a console found is written to "ServerAddress" for the next start.
    std::optional<std::uint32_t> Discover() const;

private:
    const ClientSettings& m_settings;
    FinderOptions m_options;
};

}  // namespace zn::client
