#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "net/BoundedConnect.h"
#include "net/TcpSocket.h"

// Socket calls that give up at a time limit, so that a silent peer cannot hold the seat's
// user-interface thread for good.
namespace zn::client {

using Deadline = std::chrono::steady_clock::time_point;

// True only when all `length` bytes arrived before the deadline.
bool ReceiveBefore(CTcpSocket& socket, void* buffer, std::size_t length, Deadline deadline);
// TCP keep-alive on a long-lived connection, so that one whose peer vanished without a close
// ends: probes after 60 s of silence, every 10 s, and 5 unanswered ones end it (about 110 s).
bool KeepConnectionAlive(CTcpSocket& socket);
// A whole frame before the deadline; nullopt when it is short, late or over `maxLength`.
std::optional<std::vector<std::byte>> ReceiveFrameBefore(CTcpSocket& socket,
                                                         std::uint32_t maxLength,
                                                         Deadline deadline);

}  // namespace zn::client
