#include "client/PageFrame.h"

#include <algorithm>
#include <cerrno>

#include "net/Frame.h"
#include "net/Sockets.h"
#include "net/TcpSocket.h"

namespace zn::client {
namespace {

using Clock = std::chrono::steady_clock;

// Fills `bytes` before the deadline; the status that ended it otherwise.
bool ReceiveBefore(CTcpSocket& connection, std::byte* bytes, std::size_t length,
                   Clock::time_point deadline, PageFrame& frame) {
    std::size_t received = 0;
    while (received < length) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            frame.status = PageFrame::Status::Late;
            frame.error = ETIMEDOUT;
            return false;
        }
        const int count = connection.ReceiveSome(
            bytes + received, static_cast<int>(std::min(length - received, kPageReadPiece)), left);
        if (count <= 0) {
            frame.error = count == 0 ? 0 : LastSocketError();
            frame.status =
                frame.error == ETIMEDOUT ? PageFrame::Status::Late : PageFrame::Status::Short;
            return false;
        }
        received += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace

PageFrame ReceiveRestOfPageFrame(CTcpSocket& connection, std::byte first,
                                 Clock::time_point deadline) {
    PageFrame frame;
    std::byte header[4] = {first};
    if (!ReceiveBefore(connection, header + 1, 3, deadline, frame)) {
        if (frame.status == PageFrame::Status::Short) {
            frame.status = PageFrame::Status::CutInLength;
        }
        return frame;
    }
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i) {
        length = (length << 8) | std::to_integer<std::uint32_t>(header[i]);
    }
    if (length > kPageFrameCap) {
        frame.status = PageFrame::Status::TooLong;
        frame.error = EMSGSIZE;
        return frame;
    }
    while (frame.body.size() < length) {
        const std::size_t received = frame.body.size();
        frame.body.resize(std::min<std::size_t>(length, received + kPageReadPiece));
        if (!ReceiveBefore(connection, frame.body.data() + received, frame.body.size() - received,
                           deadline, frame)) {
            frame.body.clear();
            return frame;
        }
    }
    frame.status = PageFrame::Status::Page;
    return frame;
}

}  // namespace zn::client
