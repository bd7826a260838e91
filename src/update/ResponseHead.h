#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zn {

// What a download needs from the head of an HTTP answer.
struct ResponseHead {
    int status = 0;  // 0 when the status line does not carry one
    std::optional<std::uint64_t> length;
    bool badLength = false;  // a Content-Length that is not a number, or two that differ
    bool encoded = false;    // a Transfer-Encoding instead of a plain length
};

// A head longer than this is refused.
inline constexpr std::size_t kMaxResponseHeadBytes = 64 * 1024;

// Reads a head: the status line, then header lines, each ending in "\n" (a "\r" before it is
// optional), up to the empty line or the end of the text. Never fails: what it cannot read keeps
// its default.
ResponseHead ParseResponseHead(std::string_view head);

// Why a download refuses an answer with this head (status other than 200 or 206, an encoded body,
// a missing or invalid length); the empty text when it takes the body.
std::string RefusalOf(const ResponseHead& head);

}  // namespace zn
