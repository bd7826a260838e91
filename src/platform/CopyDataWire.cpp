#include "platform/CopyDataWire.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace zn {

namespace {

void PutLe32(std::byte* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::byte>(value >> (8 * i));
    }
}

std::uint32_t GetLe32(const std::byte* in) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= std::to_integer<std::uint32_t>(in[i]) << (8 * i);
    }
    return value;
}

// Waits until fd is ready for `events`; Done, TimedOut, Stopped or Failed.
IoResult WaitReady(int fd, short events, Deadline deadline, int stopFd) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return IoResult::TimedOut;
        }
        pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, stopFd >= 0 ? 2 : 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return IoResult::Failed;
        }
        if (stopFd >= 0 && fds[1].revents != 0) {
            return IoResult::Stopped;
        }
        if (fds[0].revents != 0) {
            // Errors and hang-ups show in the following read or write.
            return IoResult::Done;
        }
    }
}

}  // namespace

CopyDataHeaderBytes EncodeCopyDataHeader(const CopyDataHeader& header) {
    CopyDataHeaderBytes bytes{};
    PutLe32(bytes.data(), header.number);
    PutLe32(bytes.data() + 4, header.length);
    return bytes;
}

CopyDataHeader DecodeCopyDataHeader(const CopyDataHeaderBytes& bytes) {
    return {GetLe32(bytes.data()), GetLe32(bytes.data() + 4)};
}

IoResult ReadExactly(int fd, std::span<std::byte> buffer, Deadline deadline, int stopFd) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::recv(fd, buffer.data() + done, buffer.size() - done, 0);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
            continue;
        }
        if (got == 0) {
            return IoResult::Closed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return errno == ECONNRESET ? IoResult::Closed : IoResult::Failed;
        }
        if (const auto waited = WaitReady(fd, POLLIN, deadline, stopFd); waited != IoResult::Done) {
            return waited;
        }
    }
    return IoResult::Done;
}

IoResult WriteAll(int fd, std::span<const std::byte> data, Deadline deadline) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t put = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (const auto waited = WaitReady(fd, POLLOUT, deadline, -1);
                waited != IoResult::Done) {
                return waited;
            }
            continue;
        }
        return put < 0 && (errno == EPIPE || errno == ECONNRESET) ? IoResult::Closed
                                                                  : IoResult::Failed;
    }
    return IoResult::Done;
}

}  // namespace zn
