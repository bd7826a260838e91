#include "config/CounterAddress.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "console/ConsoleSettings.h"
#include "net/BoundedConnect.h"
#include "net/HostResolution.h"
#include "net/SocketAddress.h"
#include "net/Sockets.h"
#include "net/TcpSocket.h"
#include "platform/Log.h"

namespace zn::config {

std::string LocalHostName() {
    std::array<char, kMaxHostNameBytes + 1> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) {
        log::Warn("the local host name is not known (errno {})", errno);
        return {};
    }
    return name.data();
}

std::optional<std::uint32_t> LookUpHost(const std::string& name) {
    if (name.size() > kMaxHostNameBytes) {
        return std::nullopt;
    }
    return ResolveHost(name.empty() ? LocalHostName() : name);
}

CounterAddressResult SendCounterAddress(const std::string& server, const std::string& counter,
                                        const Registry& registry, std::chrono::milliseconds limit) {
    const auto serverAddress = LookUpHost(server);
    if (!serverAddress) {
        log::Warn("advertising server {} not found", log::Printable(server));
        return CounterAddressResult::ServerNotFound;
    }
    const auto counterAddress = LookUpHost(counter);
    if (!counterAddress) {
        log::Warn("counter {} not found", log::Printable(counter));
        return CounterAddressResult::CounterNotFound;
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
