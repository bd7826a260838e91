#include "client/ConsoleFinder.h"

#include <arpa/inet.h>

#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "client/BoundedSocketIo.h"
#include "client/ClientSettings.h"
#include "net/Frame.h"
#include "net/HostResolution.h"
#include "net/SocketAddress.h"
#include "net/TcpSocket.h"
#include "net/UdpSocket.h"

namespace zn::client {
std::optional<std::uint32_t> QueryConsoleAddress(std::uint32_t proxy, std::uint16_t proxyPort,
                                                 std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    CTcpSocket socket;
    if (!socket.Create(0) ||
        !ConnectWithin(socket, CSocketAddress::FromHostOrder(proxy, proxyPort), limit)) {
        return std::nullopt;
    }
    std::uint32_t answer = 0;
    if (!ReceiveBefore(socket, &answer, sizeof answer, deadline) || answer == 0) {
        return std::nullopt;
    }
    return ntohl(answer);
}

std::optional<std::uint32_t> DiscoverConsole(std::uint16_t broadcastPort,
                                             std::chrono::milliseconds limit) {
    CUdpSocket socket;
    if (!socket.Create(0)) {
        return std::nullopt;
    }
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    int received = -1;
    sockaddr_in sender{};

    std::thread discovery([&] {
        socket.SetBroadcast(1);
        const auto target = CSocketAddress::Broadcast(broadcastPort);
        socket.SendTo(kDiscoveryProbe.data(), static_cast<int>(kDiscoveryProbe.size()),
                      reinterpret_cast<const sockaddr*>(&target.address), sizeof target.address);
        std::array<std::byte, 4> reply{};
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const int count = socket.ReceiveFrom(reply.data(), static_cast<int>(reply.size()),
                                             reinterpret_cast<sockaddr*>(&from), &fromLength);
        const std::lock_guard lock(mutex);
        received = count;
        sender = from;
        done = true;
        ended.notify_one();
    });
    {
        std::unique_lock lock(mutex);
        if (!ended.wait_for(lock, limit, [&] { return done; })) {
            lock.unlock();
            socket.Close();  // ends the thread's wait
        }
    }
    discovery.join();
    socket.Close();
    if (received != 4) {
        return std::nullopt;
    }
    return ntohl(sender.sin_addr.s_addr);
}

ConsoleFinder::ConsoleFinder(const ClientSettings& settings, FinderOptions options)
    : m_settings(settings), m_options(std::move(options)) {
    if (!m_options.discover) {
        m_options.discover = DiscoverConsole;
    }
}

std::optional<std::uint32_t> ConsoleFinder::Find() const {
    if (const auto address = FindWithoutDiscovery()) {
        return address;
    }
    return Discover();
}

std::optional<std::uint32_t> ConsoleFinder::FindWithoutDiscovery() const {
    if (const auto address = ResolveHost(m_settings.ServerAddress())) {
        return address;
    }
    // A second lookup may succeed where the first did not (a name service that woke up late).
    if (const auto proxy = ResolveHost(m_settings.ServerAddress())) {
        return QueryConsoleAddress(*proxy, m_settings.ProxyPort(), m_options.proxyLimit);
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ConsoleFinder::Discover() const {
    const auto address = m_options.discover(m_settings.BroadcastPort(), m_options.discoveryLimit);
    if (address) {
        m_settings.WriteServerAddress(CSocketAddress::FromHostOrder(*address, 0).Dotted());
    }
    return address;
}

}  // namespace zn::client
