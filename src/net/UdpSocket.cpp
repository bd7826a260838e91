#include "net/UdpSocket.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/SocketSupport.h"

namespace zn {
namespace {

constexpr int kNoSocket = 0;

// 0 means "no socket" here, so a socket that got descriptor 0 (stdin closed) moves elsewhere.
int AwayFromZero(int handle) {
    if (handle != 0) {
        return handle;
    }
    const int moved = fcntl(handle, F_DUPFD_CLOEXEC, 1);
    if (moved < 0) {
        detail::RecordErrno();
    }
    close(handle);
    return moved;
}

}  // namespace

CUdpSocket::CUdpSocket() : m_handle(kNoSocket) {
    std::memset(&m_local, 0, sizeof(m_local));
}

CUdpSocket::~CUdpSocket() {
    Close();
}

bool CUdpSocket::Create(std::uint16_t port) {
    Close();
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    const int handle = AwayFromZero(detail::CreateBoundSocket(SOCK_DGRAM, local));
    if (handle <= 0) {
        return false;
    }
    m_handle.Store(handle);
    detail::ReadLocalAddress(handle, m_local);
    return true;
}

int CUdpSocket::ReceiveFrom(void* buffer, int size, sockaddr* sender, socklen_t* senderLength) {
    const detail::SharedHandle::Use use(m_handle);
    const int handle = use.Get();
    if (!use.Valid()) {
        return detail::RecordNoSocket();
    }
    if (size < 0 || (buffer == nullptr && size > 0)) {
        detail::RecordSocketError(EFAULT);
        return -1;
    }
    ssize_t result = 0;
    do {
        // MSG_TRUNC reports the datagram's real length, so an oversized one can fail as on
        // Windows instead of arriving silently cut.
        result = recvfrom(handle, buffer, static_cast<std::size_t>(size), MSG_TRUNC, sender,
                          senderLength);
    } while (result < 0 && errno == EINTR);
    if (m_handle.Load() != handle) {
        return detail::RecordNoSocket();  // closed while waiting: shutdown woke us with 0 bytes
    }
    if (result < 0) {
        return detail::RecordErrno();
    }
    if (result > size) {
        detail::RecordSocketError(EMSGSIZE);
        return -1;
    }
    return static_cast<int>(result);
}

int CUdpSocket::SendTo(const void* data, int length, const sockaddr* target,
                       socklen_t targetLength) {
    const detail::SharedHandle::Use use(m_handle);
    const int handle = use.Get();
    if (!use.Valid()) {
        return detail::RecordNoSocket();
    }
    if (length < 0 || (data == nullptr && length > 0)) {
        detail::RecordSocketError(EFAULT);
        return -1;
    }
    ssize_t result = 0;
    do {
        result = sendto(handle, data, static_cast<std::size_t>(length), MSG_NOSIGNAL, target,
                        targetLength);
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        return detail::RecordErrno();
    }
    return static_cast<int>(result);
}

int CUdpSocket::SetBroadcast(int enable) {
    const detail::SharedHandle::Use use(m_handle);
    const int handle = use.Get();
    if (!use.Valid()) {
        return detail::RecordNoSocket();
    }
    if (setsockopt(handle, SOL_SOCKET, SO_BROADCAST, &enable, sizeof(enable)) != 0) {
        return detail::RecordErrno();
    }
    return 0;
}

void CUdpSocket::Close() {
    m_handle.Close();
}

}  // namespace zn
