#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

namespace zn {

// One file on an update server: http://host:port/objectPath, or http://host:port/objectPath?query.
struct DownloadSource {
    std::string host;        // a host name or IPv4 address; anything else fails
    std::string objectPath;  // without a leading "/"; characters outside a URL path are escaped
    std::string userName;    // HTTP basic credentials; none when both are empty
    std::string password;
    int port = 80;  // 0 means 80
    // Without the "?"; none when empty. Its own delimiters and escapes are kept, anything else
    // outside a URL query is escaped.
    std::string query{};
};

// The bounds of one fetch. A try ends when the server sends nothing for `stall`, and in any case
// at its total deadline: `base` after it began, plus the announced length at `bytesPerSecond`
// once the answer's head has come (20 s + length / 64 KiB/s: a 16 MiB manifest gets 276 s, a
// 256 MiB module 68 min). A try that ended before any answer came is repeated, three tries in
// all, so a silent or trickling server holds a fetch about 3 x 20 s. No try goes on past
// `giveUpAt`, and none begins after it.
struct DownloadTimeouts {
    std::chrono::seconds connect{10};
    std::chrono::seconds stall{20};
    std::chrono::seconds base{20};
    std::uint64_t bytesPerSecond = 64 * 1024;
    std::chrono::steady_clock::time_point giveUpAt = std::chrono::steady_clock::time_point::max();

    // How long one try may take in all when the answer announces `length` bytes (0 before the
    // head has come); at most a week, whatever the length.
    std::chrono::milliseconds TryLimit(std::uint64_t length) const;
};

// An announced length above this is refused before anything is allocated.
inline constexpr std::size_t kMaxMemoryDownloadBytes = 16 * 1024 * 1024;

// GET of the source into memory: on success the buffer holds the L body bytes followed by the
// suffix and L (above 0) is returned. The answer must be 200 or 206 with a Content-Length of at
// most kMaxMemoryDownloadBytes and exactly that many body bytes; redirects are not followed.
// Every failure returns 0 with the buffer emptied, and is logged.
std::size_t DownloadToMemory(const DownloadSource& source, std::string_view suffix,
                             std::string& buffer, const DownloadTimeouts& timeouts = {});

// A check that reads a file download's body as it arrives (a hash, so a large file is not read
// twice) and judges the complete file.
class IDownloadCheck {
public:
    virtual ~IDownloadCheck() = default;
    // A new answer's body begins.
    virtual void Restart() = 0;
    // The body's next bytes, in order.
    virtual void Add(std::string_view bytes) = 0;
    // The complete temporary file before it replaces the file; false keeps the old file and fails
    // the download (the check logs why).
    virtual bool Accept(const std::filesystem::path& downloaded) = 0;
};

// What a caller may ask of a file download beyond the HTTP rules.
struct FileDownloadRules {
    // An announced length above this is refused before anything is written.
    std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max();
    // Asked with the complete temporary file before it replaces the file: false keeps the old
    // file and fails the download (the check logs why).
    std::function<bool(const std::filesystem::path& downloaded)> accept;
    // Sees the body as it arrives and is asked after `accept`; none when null.
    IDownloadCheck* check = nullptr;
    // Asked with the announced length, within maxBytes, before anything is written: false refuses
    // the download (the check logs why).
    std::function<bool(std::uint64_t length)> admit{};
};

// GET of the source into a file, with the same rules (no length cap unless `rules` sets one). The
// body goes to a temporary file beside `file` that replaces it only when exactly L bytes arrived
// and `rules` accept it, so on any failure the old file is untouched. The folder must exist. L
// (above 0) on success, 0 on any failure (logged).
std::size_t DownloadToFile(const DownloadSource& source, const std::filesystem::path& file,
                           const DownloadTimeouts& timeouts = {},
                           const FileDownloadRules& rules = {});

}  // namespace zn
