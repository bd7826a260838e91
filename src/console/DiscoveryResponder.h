#pragma once

#include <cstdint>
#include <thread>

#include "net/UdpSocket.h"

namespace zn::console {

// Answers the seats' discovery probes: a datagram of exactly the 4 probe bytes is echoed to its
// sender; anything else gets no answer.
class DiscoveryResponder {
public:
    DiscoveryResponder() = default;
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    // Binds the port (0: any) and starts answering; false when the socket could not be made or
    // the responder already runs.
    bool Start(std::uint16_t port);
    std::uint16_t Port() const;
    // Closes the socket, which ends the loop, and waits for it.
    void Stop();

private:
    void Run();

    CUdpSocket m_socket;
    std::thread m_thread;
};

}  // namespace zn::console
