#include "FrameReader.h"

#include <sys/socket.h>

#include <cerrno>

namespace zn::bench {

FrameReader::State FrameReader::ReadFrom(int socket) {
    for (;;) {
        const bool inHeader = m_headerBytes < sizeof m_header;
        void* target = inHeader ? static_cast<void*>(m_header + m_headerBytes)
                                : static_cast<void*>(m_body.data() + m_bodyBytes);
        const std::size_t wanted =
            inHeader ? sizeof m_header - m_headerBytes : m_body.size() - m_bodyBytes;
        if (!inHeader && wanted == 0) {
            return State::Complete;
        }
        const ssize_t count = recv(socket, target, wanted, 0);
        if (count == 0) {
            return State::Closed;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno == EAGAIN || errno == EWOULDBLOCK ? State::Incomplete : State::Closed;
        }
        const auto received = static_cast<std::size_t>(count);
        if (!inHeader) {
            m_bodyBytes += received;
            continue;
        }
        m_headerBytes += received;
        if (m_headerBytes == sizeof m_header) {
            const std::uint32_t length =
                std::uint32_t{m_header[0]} | (std::uint32_t{m_header[1]} << 8) |
                (std::uint32_t{m_header[2]} << 16) | (std::uint32_t{m_header[3]} << 24);
            if (length > m_cap) {
                return State::Refused;
            }
            m_body.resize(length);
        }
    }
}

void FrameReader::Reset() {
    m_headerBytes = 0;
    m_body.clear();
    m_bodyBytes = 0;
}

}  // namespace zn::bench
