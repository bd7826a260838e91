#include "client/BoundedSocketIo.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace zn::client {

bool ReceiveBefore(CTcpSocket& socket, void* buffer, std::size_t length, Deadline deadline) {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t received = 0;
    while (received < length) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd ready{socket.Handle(), POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            return false;
        }
        const ssize_t count =
            recv(socket.Handle(), bytes + received, length - received, MSG_DONTWAIT);
        if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        received += static_cast<std::size_t>(count);
    }
    return true;
}

bool KeepConnectionAlive(CTcpSocket& socket) {
    return socket.SetKeepAlive(std::chrono::seconds(60), std::chrono::seconds(10), 5);
}

std::optional<std::vector<std::byte>> ReceiveFrameBefore(CTcpSocket& socket,
                                                         std::uint32_t maxLength,
                                                         Deadline deadline) {
    unsigned char header[4] = {};
    if (!ReceiveBefore(socket, header, sizeof header, deadline)) {
        return std::nullopt;
    }
    const std::uint32_t length = std::uint32_t{header[0]} | (std::uint32_t{header[1]} << 8) |
                                 (std::uint32_t{header[2]} << 16) |
                                 (std::uint32_t{header[3]} << 24);
    if (length > maxLength) {
        return std::nullopt;
    }
    std::vector<std::byte> body(length);
    if (length > 0 && !ReceiveBefore(socket, body.data(), length, deadline)) {
        return std::nullopt;
    }
    return body;
}

}  // namespace zn::client
