#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zn {
class CTcpSocket;
}

namespace zn::client {

// What became of a page frame whose first length byte had arrived.
struct PageFrame {
    enum class Status {
        Page,         // `body` holds the whole body
        CutInLength,  // the connection ended or failed within the four length bytes
        Short,        // the connection ended or failed within the body
        TooLong,      // the length is over the page cap; the body was not read
        Late,         // the frame was not whole by its deadline
    };
    Status status = Status::Short;
    std::vector<std::byte> body;
    int error = 0;  // the socket error of every status but Page
};

// The body is read in pieces of this size: its buffer grows with the bytes that arrived, never
// with the length the peer announced.
inline constexpr std::size_t kPageReadPiece = 64 * 1024;

// The other three length bytes and the body of a frame whose first length byte is `first`, all
// before `deadline`.
PageFrame ReceiveRestOfPageFrame(CTcpSocket& connection, std::byte first,
                                 std::chrono::steady_clock::time_point deadline);

}  // namespace zn::client
