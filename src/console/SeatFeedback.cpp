#include "console/SeatFeedback.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <fstream>
#include <system_error>

#include "net/Frame.h"
#include "net/SocketAddress.h"
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

bool SendPageToSeat(const CSocketAddress& seat, std::uint16_t port,
                    std::span<const std::byte> page) {
    CSocketAddress target = seat;
    target.SetPort(port);
    CTcpSocket socket;
    if (!socket.Create(0) || !SetSendTimeout(socket, kSeatConnectTimeout) ||
        !socket.Connect(&target) || !SetSendTimeout(socket, kSeatSendStallTimeout)) {
        socket.Close();
        log::Warn("page of {} bytes to {}:{} not delivered: the seat cannot be reached",
                  page.size(), seat.Dotted(), port);
        return false;
    }
    std::vector<std::byte> body(page.begin(), page.end());
    body.push_back(std::byte{0});
    const bool sent = SendFrame(socket, body);
    socket.Close();
    if (sent) {
        log::Info("page of {} bytes to {}:{} delivered", page.size(), seat.Dotted(), port);
    } else {
        log::Warn("page of {} bytes to {}:{} not delivered: the seat stopped taking it",
                  page.size(), seat.Dotted(), port);
    }
    return sent;
}

}  // namespace zn::console
