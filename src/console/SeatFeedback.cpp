#include "console/SeatFeedback.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <fstream>
#include <system_error>

#include "net/Frame.h"
#include "net/SocketAddress.h"
#include "net/Sockets.h"
#include "net/TcpSocket.h"
#include "platform/Log.h"

namespace zn::console {

namespace {

bool SetSendTimeout(const CTcpSocket& socket, std::chrono::seconds timeout) {
    // On Linux a blocking connect() also gives up after the send timeout.
    timeval value{};
    value.tv_sec = static_cast<time_t>(timeout.count());
    return setsockopt(socket.Handle(), SOL_SOCKET, SO_SNDTIMEO, &value, sizeof value) == 0;
}

// The page is out: the sending side is closed, so that a seat that read it sees the end and
// closes too. A reset means the seat closed with the page unread.
bool SeatClosedOrStayed(CTcpSocket& socket, std::chrono::milliseconds wait) {
    if (shutdown(socket.Handle(), SHUT_WR) != 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::byte ignored[256];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return true;
        }
        const int count = socket.ReceiveSome(ignored, sizeof ignored, left);
        if (count == 0) {
            return true;
        }
        if (count < 0) {
            return LastSocketError() == ETIMEDOUT;
        }
    }
}

}  // namespace

std::optional<std::vector<std::byte>> ReadPageFile(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(file, error);
    if (error || size >= kPageFrameCap) {
        return std::nullopt;
    }
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    std::vector<std::byte> bytes(static_cast<std::size_t>(size));
    stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (stream.gcount() != static_cast<std::streamsize>(size)) {
        return std::nullopt;
    }
    return bytes;
}

bool SendPageToSeat(const CSocketAddress& seat, std::uint16_t port, std::span<const std::byte> page,
                    std::chrono::milliseconds closeWait) {
    CSocketAddress target = seat;
    target.SetPort(port);
    CTcpSocket socket;
    if (!socket.Create(0) || !SetSendTimeout(socket, kSeatConnectTimeout) ||
        !socket.Connect(&target) || !SetSendTimeout(socket, kSeatSendStallTimeout)) {
        log::Warn("page to seat {}:{} not sent: no connection (error {})", target.Dotted(), port,
                  LastSocketError());
        return false;
    }
    std::vector<std::byte> body(page.begin(), page.end());
    body.push_back(std::byte{0});
    if (!SendFrame(socket, body)) {
        log::Warn("page to seat {}:{} not sent: error {}", target.Dotted(), port,
                  LastSocketError());
        return false;
    }
    if (!SeatClosedOrStayed(socket, closeWait)) {
        log::Warn("page to seat {}:{} not taken: the connection ended in error {}", target.Dotted(),
                  port, LastSocketError());
        return false;
    }
    log::Info("page of {} bytes to {}:{} delivered", page.size(), target.Dotted(), port);
    return true;
}

}  // namespace zn::console
