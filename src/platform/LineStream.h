#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// Lines of text over a stream socket or a pipe, each bounded, every wait with a deadline.
namespace zn {

using LineDeadline = std::chrono::steady_clock::time_point;

enum class LineStatus { Line, Closed, TimedOut, TooLong, Failed };

// Reads "\n"-ended lines from a descriptor, each at most `maxBytes`, waiting no longer than the
// deadline; bytes after a line stay for the next call.
class LineReader {
public:
    LineReader(int fd, std::size_t maxBytes) : m_fd(fd), m_maxBytes(maxBytes) {}

    LineStatus Next(std::string& line, LineDeadline deadline);
    // Without waiting: a whole line already received, else TimedOut (or TooLong).
    LineStatus NextAvailable(std::string& line);
    // Without waiting, on a non-blocking descriptor: takes in what has arrived. Closed or Failed
    // at the end, else TimedOut.
    LineStatus ReadAvailable();

private:
    // One read: Line when bytes came, TimedOut when none were there, else Closed or Failed.
    LineStatus ReadOnce();

    int m_fd;
    std::size_t m_maxBytes;
    std::string m_buffer;
};

// Sends all of `text` by the deadline on a non-blocking socket or pipe; a peer that has gone is
// a failure, never a signal.
bool SendText(int fd, std::string_view text, LineDeadline deadline);

}  // namespace zn
