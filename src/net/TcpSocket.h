#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <memory>

#include "net/SharedHandle.h"
#include "net/SocketAddress.h"

namespace zn {

// A blocking IPv4 stream socket. One thread uses it at a time; the only use from another thread
// is Close(), which ends a call blocked in Accept or ReceiveAll.
class CTcpSocket {
public:
    CTcpSocket();
    virtual ~CTcpSocket();
    CTcpSocket(const CTcpSocket&) = delete;
    CTcpSocket& operator=(const CTcpSocket&) = delete;

    // Closes any socket held, then creates one bound to INADDR_ANY:port (0: chosen by the system).
    bool Create(std::uint16_t port);
    // The same bound to one local address (a load tool plays many seats from 127.x.y.z).
    bool Create(const CSocketAddress& local);
    bool Listen(int backlog = 5);
    // nullptr when accept fails or the socket was closed.
    std::unique_ptr<CTcpSocket> Accept(CSocketAddress* peer);
    // False for a null address or a failed connect.
    bool Connect(const CSocketAddress* remote);
    // The byte count sent / received; stops early at an error or at the peer's close. A length of
    // 0 or less returns 0 without touching the socket.
    int SendAll(const void* data, int offset, int length);
    int ReceiveAll(void* buffer, int offset, int length);
    // Waits up to `limit` (negative: without one) for bytes, then takes what has arrived, at
    // most `length`: the count, 0 at the peer's end, -1 on an error or at the limit (the socket
    // error is then ETIMEDOUT).
    int ReceiveSome(void* buffer, int length, std::chrono::milliseconds limit);
    // Safe from any thread, and twice.
    void Close();
    // Closes so that the peer sees a reset rather than an end: a refusal, or a page given up.
    // Safe from any thread.
    void Abort();
    // close()'s result (0 when a call blocked on another thread will close it), or -1 when no
    // socket was open.
    int CloseWithResult();

    // Reaps connections of peers that vanished: probes after `idle`, every `interval`, gives up
    // after `count` unanswered probes. False when the socket refused the options.
    bool SetKeepAlive(std::chrono::seconds idle, std::chrono::seconds interval, int count);
    // True when the peer has ended the connection (end of stream or reset) as far as this side
    // can tell without blocking; data waiting to be read does not count as ended.
    bool PeerHasClosed() const;

    bool IsValid() const { return m_handle.Load() >= 0; }
    int Handle() const { return m_handle.Load(); }
    const sockaddr_in& Local() const { return m_local; }

private:
    explicit CTcpSocket(int handle);
    void ReadLocalAddress();

    detail::SharedHandle m_handle;
    sockaddr_in m_local;
};

}  // namespace zn
