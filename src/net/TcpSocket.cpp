#include "net/TcpSocket.h"

#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

#include "net/SocketSupport.h"

namespace zn {
namespace {

constexpr int kNoSocket = -1;

bool SetIntOption(int handle, int level, int option, long long value) {
    if (value < 0 || value > INT_MAX) {
        detail::RecordSocketError(EINVAL);
        return false;
    }
    const int intValue = static_cast<int>(value);
    if (setsockopt(handle, level, option, &intValue, sizeof(intValue)) != 0) {
        detail::RecordErrno();
        return false;
    }
    return true;
}

// A connect interrupted by a signal goes on in the background; it must be waited for, not
// started again.
bool FinishInterruptedConnect(int handle) {
    pollfd waiting{handle, POLLOUT, 0};
    int ready = 0;
    do {
        ready = poll(&waiting, 1, -1);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        detail::RecordErrno();
        return false;
    }
    int error = 0;
    socklen_t length = sizeof(error);
    if (getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        detail::RecordErrno();
        return false;
    }
    if (error != 0) {
        detail::RecordSocketError(error);
        return false;
    }
    return true;
}

}  // namespace

CTcpSocket::CTcpSocket() : CTcpSocket(kNoSocket) {}

CTcpSocket::CTcpSocket(int handle) : m_handle(kNoSocket) {
    m_handle.Store(handle);
    std::memset(&m_local, 0, sizeof(m_local));
}

CTcpSocket::~CTcpSocket() {
    Close();
}

bool CTcpSocket::Create(std::uint16_t port) {
    CSocketAddress local;
    local.address.sin_addr.s_addr = htonl(INADDR_ANY);
    local.SetPort(port);
    return Create(local);
}

bool CTcpSocket::Create(const CSocketAddress& local) {
    Close();
    const int handle = detail::CreateBoundSocket(SOCK_STREAM, local.address);
    if (handle < 0) {
        return false;
    }
    m_handle.Store(handle);
    ReadLocalAddress();
    return true;
}

bool CTcpSocket::Listen(int backlog) {
    const detail::SharedHandle::Use use(m_handle);
    const int handle = use.Get();
    if (!use.Valid()) {
        detail::RecordNoSocket();
        return false;
    }
    if (listen(handle, backlog) != 0) {
        detail::RecordErrno();
        return false;
    }
    return true;
}

std::unique_ptr<CTcpSocket> CTcpSocket::Accept(CSocketAddress* peer) {
    const detail::SharedHandle::Use use(m_handle);
    const int handle = use.Get();
    if (!use.Valid()) {
        detail::RecordNoSocket();
        return nullptr;
    }
    sockaddr_in peerAddress{};
    socklen_t peerLength = sizeof(peerAddress);
    int connection = -1;
    do {
        connection =
            accept4(handle, reinterpret_cast<sockaddr*>(&peerAddress), &peerLength, SOCK_CLOEXEC);
    } while (connection < 0 && errno == EINTR);
    if (connection < 0) {
        detail::RecordErrno();
        return nullptr;
    }
    std::unique_ptr<CTcpSocket> accepted(new (std::nothrow) CTcpSocket(connection));
    if (!accepted) {
        close(connection);
        detail::RecordSocketError(ENOMEM);
        return nullptr;
    }
    accepted->ReadLocalAddress();
    if (peer != nullptr) {
        peer->address = peerAddress;
        peer->length = static_cast<int>(peerLength);
    }
    return accepted;
}

bool CTcpSocket::Connect(const CSocketAddress* remote) {
    if (remote == nullptr) {
        detail::RecordSocketError(EFAULT);
        return false;
    }
    const detail::SharedHandle::Use use(m_handle);
    const int handle = use.Get();
    if (!use.Valid()) {
        detail::RecordNoSocket();
        return false;
    }
    if (remote->length <= 0 || remote->length > static_cast<int>(sizeof(remote->address))) {
        detail::RecordSocketError(EINVAL);
        return false;
    }
    const auto length = static_cast<socklen_t>(remote->length);
    if (connect(handle, reinterpret_cast<const sockaddr*>(&remote->address), length) == 0) {
        return true;
    }
    if (errno == EINTR) {
        return FinishInterruptedConnect(handle);
    }
    detail::RecordErrno();
    return false;
}

int CTcpSocket::SendAll(const void* data, int offset, int length) {
    if (length <= 0) {
        return 0;
    }
    if (data == nullptr || offset < 0) {
        detail::RecordSocketError(EFAULT);
        return 0;
    }
    const detail::SharedHandle::Use use(m_handle);
    const int handle = use.Get();
    if (!use.Valid()) {
        detail::RecordNoSocket();
        return 0;
    }
    const auto* bytes = static_cast<const char*>(data) + offset;
    int sent = 0;
    while (sent < length) {
        const ssize_t result =
            send(handle, bytes + sent, static_cast<std::size_t>(length - sent), MSG_NOSIGNAL);
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            detail::RecordErrno();
            break;
        }
        sent += static_cast<int>(result);
    }
    return sent;
}

int CTcpSocket::ReceiveAll(void* buffer, int offset, int length) {
    if (length <= 0) {
        return 0;
    }
    if (buffer == nullptr || offset < 0) {
        detail::RecordSocketError(EFAULT);
        return 0;
    }
    const detail::SharedHandle::Use use(m_handle);
    const int handle = use.Get();
    if (!use.Valid()) {
        detail::RecordNoSocket();
        return 0;
    }
    auto* bytes = static_cast<char*>(buffer) + offset;
    int received = 0;
    while (received < length) {
        const ssize_t result =
            recv(handle, bytes + received, static_cast<std::size_t>(length - received), 0);
        if (result == 0) {
            break;
        }
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            detail::RecordErrno();
            break;
        }
        received += static_cast<int>(result);
    }
    return received;
}

int CTcpSocket::ReceiveSome(void* buffer, int length, std::chrono::milliseconds limit) {
    if (buffer == nullptr || length <= 0) {
        detail::RecordSocketError(EFAULT);
        return -1;
    }
    const detail::SharedHandle::Use use(m_handle);
    if (!use.Valid()) {
        detail::RecordNoSocket();
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int wait = -1;
        if (limit.count() >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
        }
        pollfd ready{use.Get(), POLLIN, 0};
        const int polled = poll(&ready, 1, wait);
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled < 0) {
            detail::RecordErrno();
            return -1;
        }
        if (polled == 0) {
            detail::RecordSocketError(ETIMEDOUT);
            return -1;
        }
        const ssize_t count =
            recv(use.Get(), buffer, static_cast<std::size_t>(length), MSG_DONTWAIT);
        if (count >= 0) {
            return static_cast<int>(count);
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            detail::RecordErrno();
            return -1;
        }
    }
}

void CTcpSocket::Close() {
    CloseWithResult();
}

void CTcpSocket::Abort() {
    m_handle.Abort();
}

int CTcpSocket::CloseWithResult() {
    return m_handle.Close();
}

bool CTcpSocket::SetKeepAlive(std::chrono::seconds idle, std::chrono::seconds interval, int count) {
    const detail::SharedHandle::Use use(m_handle);
    const int handle = use.Get();
    if (!use.Valid()) {
        detail::RecordNoSocket();
        return false;
    }
    return SetIntOption(handle, SOL_SOCKET, SO_KEEPALIVE, 1) &&
           SetIntOption(handle, IPPROTO_TCP, TCP_KEEPIDLE, idle.count()) &&
           SetIntOption(handle, IPPROTO_TCP, TCP_KEEPINTVL, interval.count()) &&
           SetIntOption(handle, IPPROTO_TCP, TCP_KEEPCNT, count);
}

bool CTcpSocket::PeerHasClosed() const {
    const detail::SharedHandle::Use use(m_handle);
    const int handle = use.Get();
    if (!use.Valid()) {
        return true;
    }
    pollfd state{handle, POLLIN | POLLRDHUP, 0};
    int ready = 0;
    do {
        ready = poll(&state, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        return false;
    }
    if ((state.revents & (POLLERR | POLLNVAL)) != 0) {
        return true;
    }
    if ((state.revents & POLLIN) != 0) {
        char next = 0;
        ssize_t peeked = 0;
        do {
            peeked = recv(handle, &next, 1, MSG_PEEK | MSG_DONTWAIT);
        } while (peeked < 0 && errno == EINTR);
        if (peeked > 0) {
            return false;  // the peer's data comes first; its end, if any, is read after it
        }
        if (peeked == 0 || errno == ECONNRESET) {
            return true;
        }
    }
    return (state.revents & (POLLHUP | POLLRDHUP)) != 0;
}

void CTcpSocket::ReadLocalAddress() {
    const detail::SharedHandle::Use use(m_handle);
    if (use.Valid()) {
        detail::ReadLocalAddress(use.Get(), m_local);
    }
}

}  // namespace zn
