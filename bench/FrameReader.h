#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zn::bench {

// Collects one length-prefixed frame from a non-blocking socket across reads.
class FrameReader {
public:
    enum class State { Incomplete, Complete, Closed, Refused };

    explicit FrameReader(std::uint32_t cap) : m_cap(cap) {}

    // Reads what the socket has. Closed: the peer ended the stream (or failed) before the frame
    // was whole; Refused: the length is over the cap.
    State ReadFrom(int socket);
    void Reset();
    std::size_t BodySize() const { return m_body.size(); }

private:
    std::uint32_t m_cap;
    unsigned char m_header[4] = {};
    std::size_t m_headerBytes = 0;
    std::vector<std::byte> m_body;
    std::size_t m_bodyBytes = 0;
};

}  // namespace zn::bench
