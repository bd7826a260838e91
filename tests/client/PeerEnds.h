#pragma once

#include <cerrno>
#include <chrono>

#include "net/Sockets.h"
#include "net/TcpSocket.h"

namespace zn::client::test {

// True when the other side ends the connection (closes or resets it) within the time; the bytes
// it sends meanwhile are skipped.
inline bool PeerEnds(CTcpSocket& socket,
                     std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    char ignored[64];
    int count = 0;
    do {
        count = socket.ReceiveSome(ignored, sizeof ignored, limit);
    } while (count > 0);
    return count == 0 || LastSocketError() != ETIMEDOUT;
}

}  // namespace zn::client::test
