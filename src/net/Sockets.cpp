#include "net/Sockets.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/SharedHandle.h"
#include "net/SocketSupport.h"

namespace zn {
namespace {

thread_local int t_lastSocketError = 0;

}  // namespace

int InitSockets() {
    // MSG_NOSIGNAL covers our own sends; this covers writes made by anything else in the process.
    signal(SIGPIPE, SIG_IGN);
    return 0;
}

int LastSocketError() {
    return t_lastSocketError;
}

namespace detail {

void RecordSocketError(int error) {
    t_lastSocketError = error;
}

int RecordErrno() {
    RecordSocketError(errno);
    return -1;
}

int RecordNoSocket() {
    RecordSocketError(ENOTSOCK);
    return -1;
}

int CreateBoundSocket(int type, const sockaddr_in& local) {
    const int handle = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (handle < 0) {
        return RecordErrno();
    }
    // On Windows a restarted listener binds again at once; Linux refuses while connections of
    // the old one sit in TIME_WAIT unless SO_REUSEADDR is set (it never lets two listeners
    // share the port, unlike the Windows option of the same name).
    if (type == SOCK_STREAM && local.sin_port != 0) {
        const int on = 1;
        setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    }
    if (bind(handle, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
        RecordErrno();
        close(handle);
        return -1;
    }
    return handle;
}

void ReadLocalAddress(int handle, sockaddr_in& local) {
    std::memset(&local, 0, sizeof(local));
    socklen_t length = sizeof(local);
    if (getsockname(handle, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        RecordErrno();
    }
}

SharedHandle::Use::Use(const SharedHandle& owner) : m_owner(owner) {
    m_owner.m_users.fetch_add(1);
    m_handle = m_owner.m_handle.load();
}

SharedHandle::Use::~Use() {
    if (m_owner.m_users.fetch_sub(1) == 1) {
        m_owner.ClosePending();
    }
}

int SharedHandle::Close() {
    return CloseWith(SHUT_RDWR);
}

int SharedHandle::Abort() {
    const int handle = m_handle.load();
    if (handle != m_empty) {
        // With a zero linger the close resets; shutting down only the reading side wakes blocked
        // calls without the end of stream that SHUT_WR would send first.
        const linger reset{1, 0};
        setsockopt(handle, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    return CloseWith(SHUT_RD);
}

int SharedHandle::CloseWith(int how) {
    const int handle = m_handle.exchange(m_empty);
    if (handle == m_empty) {
        return -1;
    }
    shutdown(handle, how);
    m_pendingClose.store(handle);
    return m_users.load() == 0 ? ClosePending() : 0;
}

int SharedHandle::ClosePending() const {
    const int handle = m_pendingClose.exchange(-1);
    if (handle < 0) {
        return 0;
    }
    const int result = close(handle);
    if (result != 0) {
        RecordErrno();
    }
    return result;
}

}  // namespace detail
}  // namespace zn
