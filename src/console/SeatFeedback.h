#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace zn {
class CSocketAddress;
}

namespace zn::console {

// A seat that vanished must not hold the sender for the system's SYN timeout (about 2 min).
inline constexpr std::chrono::seconds kSeatConnectTimeout{5};
// A seat that accepts no page bytes for this long counts as unreachable.
inline constexpr std::chrono::seconds kSeatSendStallTimeout{30};
// After the page, how long the sender waits for the seat to close its end. A seat that has not
// closed by then counts as served, as before the wait existed.
inline constexpr std::chrono::seconds kSeatCloseWait{5};

// A page file next to the program, whole and unchanged; nullopt when it cannot be read or is
// too long to fit one page frame with its terminator.
std::optional<std::vector<std::byte>> ReadPageFile(const std::filesystem::path& file);

// Pushes one page to the seat's feedback port: a new connection from port 0, one frame (the
// bytes plus a NUL), then the sending side is closed and the seat's close awaited up to
// `closeWait`. True when the whole frame was sent and the seat then closed or stayed silent;
// false when the connection failed, was reset (a seat that closed without reading the page) or
// ended in an error. Nothing is retried; a failure is logged with its cause.
bool SendPageToSeat(const CSocketAddress& seat, std::uint16_t port, std::span<const std::byte> page,
                    std::chrono::milliseconds closeWait = kSeatCloseWait);

}  // namespace zn::console
