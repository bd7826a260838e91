#include "platform/LineStream.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace zn {
namespace {

// poll's timeout is an int of milliseconds; a far deadline is waited for in such steps.
constexpr std::chrono::milliseconds kLongestPoll{60000};

// Ready: true; the deadline passed or poll failed: false.
bool WaitFor(int fd, short events, LineDeadline deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd ready{fd, events, 0};
        const int polled =
            ::poll(&ready, 1, static_cast<int>(std::min(left, kLongestPoll).count()));
        if (polled > 0) {
            return true;
        }
        if (polled < 0 && errno != EINTR) {
            return false;
        }
    }
}

}  // namespace

LineStatus LineReader::NextAvailable(std::string& line) {
    if (const auto end = m_buffer.find('\n'); end != std::string::npos) {
        line = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 1);
        return line.size() > m_maxBytes ? LineStatus::TooLong : LineStatus::Line;
    }
    return m_buffer.size() > m_maxBytes ? LineStatus::TooLong : LineStatus::TimedOut;
}

LineStatus LineReader::Next(std::string& line, LineDeadline deadline) {
    for (;;) {
        if (const LineStatus status = NextAvailable(line); status != LineStatus::TimedOut) {
            return status;
        }
        if (!WaitFor(m_fd, POLLIN, deadline)) {
            return LineStatus::TimedOut;
        }
        if (const LineStatus status = ReadOnce();
            status == LineStatus::Closed || status == LineStatus::Failed) {
            return status;
        }
    }
}

LineStatus LineReader::ReadAvailable() {
    for (;;) {
        const LineStatus status = ReadOnce();
        if (status != LineStatus::Line) {
            return status;
        }
        if (m_buffer.size() > m_maxBytes) {
            return LineStatus::TimedOut;
        }
    }
}

LineStatus LineReader::ReadOnce() {
    std::array<char, 512> chunk{};
    for (;;) {
        const ssize_t got = ::read(m_fd, chunk.data(), chunk.size());
        if (got > 0) {
            m_buffer.append(chunk.data(), static_cast<std::size_t>(got));
            return LineStatus::Line;
        }
        if (got == 0) {
            return LineStatus::Closed;
        }
        if (errno == EAGAIN) {
            return LineStatus::TimedOut;
        }
        if (errno != EINTR) {
            return LineStatus::Failed;
        }
    }
}

bool SendText(int fd, std::string_view text, LineDeadline deadline) {
    while (!text.empty()) {
        ssize_t sent = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == ENOTSOCK) {
            sent = ::write(fd, text.data(), text.size());
        }
        if (sent > 0) {
            text.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && errno == EAGAIN && WaitFor(fd, POLLOUT, deadline)) {
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace zn
