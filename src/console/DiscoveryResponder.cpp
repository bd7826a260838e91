#include "console/DiscoveryResponder.h"

#include <arpa/inet.h>

#include <array>
#include <cstddef>

#include "net/Frame.h"

namespace zn::console {

DiscoveryResponder::~DiscoveryResponder() {
    Stop();
}

bool DiscoveryResponder::Start(std::uint16_t port) {
    if (m_thread.joinable() || !m_socket.Create(port)) {
        return false;
    }
    m_thread = std::thread([this] { Run(); });
    return true;
}

std::uint16_t DiscoveryResponder::Port() const {
    return ntohs(m_socket.Local().sin_port);
}

void DiscoveryResponder::Stop() {
    m_socket.Close();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void DiscoveryResponder::Run() {
    while (m_socket.IsValid()) {
        std::array<std::byte, kDiscoveryProbe.size()> buffer{};
        sockaddr_in sender{};
        socklen_t senderLength = sizeof sender;
        // A datagram longer than the buffer fails to receive and is never answered.
        const int received =
            m_socket.ReceiveFrom(buffer.data(), static_cast<int>(buffer.size()),
                                 reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (received == static_cast<int>(buffer.size()) && IsDiscoveryProbe(buffer)) {
            m_socket.SendTo(buffer.data(), static_cast<int>(buffer.size()),
                            reinterpret_cast<const sockaddr*>(&sender), senderLength);
        }
    }
}

}  // namespace zn::console
