#include "net/BoundedConnect.h"

#include <sys/socket.h>
#include <sys/time.h>

namespace zn {

bool ConnectWithin(CTcpSocket& socket, const CSocketAddress& remote,
                   std::chrono::milliseconds limit) {
    // Linux bounds a blocking connect by the send timeout.
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(limit.count() / 1000);
    timeout.tv_usec = static_cast<suseconds_t>((limit.count() % 1000) * 1000);
    if (setsockopt(socket.Handle(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) != 0) {
        return false;
    }
    return socket.Connect(&remote);
}

}  // namespace zn
