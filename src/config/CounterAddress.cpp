#include "config/CounterAddress.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <iterator>
#include <vector>

#include "console/ConsoleSettings.h"
#include "net/BoundedConnect.h"
#include "net/HostResolution.h"
#include "net/SocketAddress.h"
#include "net/Sockets.h"
#include "net/TcpSocket.h"
#include "platform/Log.h"
#include "platform/NetworkInfo.h"

namespace zn::config {

std::string LocalHostName() {
    std::array<char, kMaxHostNameBytes + 1> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) {
        log::Warn("the local host name is not known (errno {})", errno);
        return {};
    }
    return name.data();
}

namespace {

bool IsLoopback(std::uint32_t address) {
    return (address >> 24) == 127;
}

std::vector<std::uint32_t> LookUpAddresses(const std::string& name) {
    if (name.size() > kMaxHostNameBytes) {
        return {};
    }
    return ResolveHostAddresses(name.empty() ? LocalHostName() : name);
}

// The address of the card whose address the console gives the back office.
std::optional<std::uint32_t> LanAddress() {
    const auto dotted = NetworkInfo::OwnIpv4Address();
    in_addr address{};
    if (!dotted || inet_pton(AF_INET, dotted->c_str(), &address) != 1) {
        return std::nullopt;
    }
    return ntohl(address.s_addr);
}

}  // namespace

std::optional<std::uint32_t> LookUpHost(const std::string& name) {
    return AnyOf(LookUpAddresses(name));
}

std::optional<std::uint32_t> CounterAddressFor(std::span<const std::uint32_t> addresses,
                                               std::optional<std::uint32_t> lan) {
    std::vector<std::uint32_t> reachable;
    std::ranges::copy_if(addresses, std::back_inserter(reachable),
                         [](std::uint32_t address) { return !IsLoopback(address); });
    if (reachable.empty()) {
        return lan;
    }
    return AnyOf(reachable);
}

CounterAddressResult SendCounterAddress(const std::string& server, const std::string& counter,
                                        const Registry& registry, std::chrono::milliseconds limit) {
    const auto serverAddress = LookUpHost(server);
    if (!serverAddress) {
        log::Warn("advertising server {} not found", log::Printable(server));
        return CounterAddressResult::ServerNotFound;
    }
    const std::vector<std::uint32_t> counterAddresses = LookUpAddresses(counter);
    if (counterAddresses.empty()) {
        log::Warn("counter {} not found", log::Printable(counter));
        return CounterAddressResult::CounterNotFound;
    }
    const auto counterAddress = CounterAddressFor(counterAddresses, LanAddress());
    if (!counterAddress) {
        log::Warn("counter {} gives only loopback addresses and the counter has no LAN address",
                  log::Printable(counter));
        return CounterAddressResult::CounterHasNoLanAddress;
    }
    const std::uint16_t port = console::ConsoleSettings(registry).ProxyConfigPort();
    const CSocketAddress target = CSocketAddress::FromHostOrder(*serverAddress, port);
    const std::uint32_t message = htonl(*counterAddress);
    CTcpSocket socket;
    socket.Create(0);
    if (!ConnectWithin(socket, target, limit) ||
        socket.SendAll(&message, 0, sizeof message) != sizeof message) {
        log::Warn("advertising server {}:{} not reached (error {})", target.Dotted(), port,
                  LastSocketError());
        return CounterAddressResult::NotDelivered;
    }
    log::Info("counter address {} sent to the advertising server {}:{}",
              CSocketAddress::FromHostOrder(*counterAddress, 0).Dotted(), target.Dotted(), port);
    return CounterAddressResult::Sent;
}

}  // namespace zn::config
