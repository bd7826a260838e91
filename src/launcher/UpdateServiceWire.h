#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "update/UpdateRun.h"

// The seat update service's line protocol on its Unix socket. The launcher sends the one request
// there is; the service answers with progress lines, each a text of the launcher's window, and
// one result line, then closes. A launcher that hangs up abandons the run (unless it is deploying).
namespace zn::launcher {

inline constexpr std::string_view kServiceRequest = "run";
// Longer lines are hostile or broken; the connection ends there.
inline constexpr std::size_t kMaxServiceLineBytes = 256;

using ServiceDeadline = std::chrono::steady_clock::time_point;

std::string ProgressLine(std::string_view text);
std::string ResultLine(UpdateResult result);

// One line of the service's answer, parsed; nullopt for anything but a known progress text or a
// known result.
struct ServiceLine {
    std::optional<std::string_view> progress;  // one of the kProgress texts
    std::optional<UpdateResult> result;
};
std::optional<ServiceLine> ParseServiceLine(std::string_view line);

enum class LineStatus { Line, Closed, TimedOut, TooLong, Failed };

// Reads "\n"-ended lines from a descriptor, each at most `maxBytes`, waiting no longer than the
// deadline; bytes after a line stay for the next call.
class LineReader {
public:
    LineReader(int fd, std::size_t maxBytes) : m_fd(fd), m_maxBytes(maxBytes) {}

    LineStatus Next(std::string& line, ServiceDeadline deadline);
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
bool SendText(int fd, std::string_view text, ServiceDeadline deadline);

}  // namespace zn::launcher
