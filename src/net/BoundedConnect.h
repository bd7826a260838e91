#pragma once

#include <chrono>

#include "net/SocketAddress.h"
#include "net/TcpSocket.h"

namespace zn {

// Connect that fails when the connection is not made within `limit`, so that a silent peer
// cannot hold a caller for good. Later sends on the socket are bounded by the same limit.
bool ConnectWithin(CTcpSocket& socket, const CSocketAddress& remote,
                   std::chrono::milliseconds limit);

}  // namespace zn
