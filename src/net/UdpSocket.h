#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

#include "net/SharedHandle.h"

namespace zn {

// A blocking IPv4 datagram socket. Close() from another thread ends a blocked ReceiveFrom.
class CUdpSocket {
public:
    CUdpSocket();
    virtual ~CUdpSocket();
    CUdpSocket(const CUdpSocket&) = delete;
    CUdpSocket& operator=(const CUdpSocket&) = delete;

    bool Create(std::uint16_t port);
    // recvfrom's result: the byte count, or -1. A datagram longer than `size` fails (-1).
    int ReceiveFrom(void* buffer, int size, sockaddr* sender, socklen_t* senderLength);
    int SendTo(const void* data, int length, const sockaddr* target, socklen_t targetLength);
    int SetBroadcast(int enable);
    void Close();

    bool IsValid() const { return m_handle.Load() > 0; }
    const sockaddr_in& Local() const { return m_local; }

private:
    detail::SharedHandle m_handle;  // 0: no socket
    sockaddr_in m_local;
};

}  // namespace zn
