#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

// A copy-data message on a window's socket: the number and the length as 4-byte little-endian
// values, then the bytes; the receiver answers one acknowledgement byte once it has handled it.
namespace zn {

inline constexpr std::size_t kCopyDataHeaderBytes = 8;
inline constexpr std::uint32_t kMaxCopyDataBytes = 1024 * 1024;
inline constexpr std::byte kCopyDataAcknowledgement{0x06};

using CopyDataHeaderBytes = std::array<std::byte, kCopyDataHeaderBytes>;

struct CopyDataHeader {
    std::uint32_t number = 0;
    std::uint32_t length = 0;
};

CopyDataHeaderBytes EncodeCopyDataHeader(const CopyDataHeader& header);
CopyDataHeader DecodeCopyDataHeader(const CopyDataHeaderBytes& bytes);

enum class IoResult { Done, Closed, TimedOut, Stopped, Failed };
using Deadline = std::chrono::steady_clock::time_point;

// On a non-blocking descriptor: all the bytes by the deadline. A readable stopFd (-1: none) ends
// the wait with Stopped.
IoResult ReadExactly(int fd, std::span<std::byte> buffer, Deadline deadline, int stopFd = -1);
IoResult WriteAll(int fd, std::span<const std::byte> data, Deadline deadline);

}  // namespace zn
