#include "update/ResponseHead.h"

#include <algorithm>
#include <cctype>

#include "platform/AsciiCase.h"

namespace zn {

namespace {

constexpr std::size_t kMaxLengthDigits = 18;  // keeps the value far from overflow

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::uint64_t> ParseDigits(std::string_view text) {
    if (text.empty() || text.size() > kMaxLengthDigits ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

int StatusOf(std::string_view statusLine) {
    const std::size_t space = statusLine.find(' ');
    if (!statusLine.starts_with("HTTP/") || space == std::string_view::npos) {
        return 0;
    }
    return static_cast<int>(ParseDigits(statusLine.substr(space + 1, 3)).value_or(0));
}

void ReadHeaderLine(std::string_view line, ResponseHead& head) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return;
    }
    const std::string_view name = Trimmed(line.substr(0, colon));
    const std::string_view value = Trimmed(line.substr(colon + 1));
    if (EqualsIgnoringCase(name, "Content-Length")) {
        const auto length = ParseDigits(value);
        head.badLength = head.badLength || !length || (head.length && *head.length != *length);
        head.length = length;
    } else if (EqualsIgnoringCase(name, "Transfer-Encoding")) {
        head.encoded = true;
    }
}

}  // namespace

ResponseHead ParseResponseHead(std::string_view head) {
    ResponseHead parsed;
    for (bool first = true; !head.empty(); first = false) {
        const std::size_t end = head.find('\n');
        const std::string_view line = head.substr(0, end);
        head = end == std::string_view::npos ? std::string_view() : head.substr(end + 1);
        if (first) {
            parsed.status = StatusOf(line);
        } else if (Trimmed(line).empty()) {
            break;
        } else {
            ReadHeaderLine(line, parsed);
        }
    }
    return parsed;
}

std::string RefusalOf(const ResponseHead& head) {
    if (head.status != 200 && head.status != 206) {
        return "status " + std::to_string(head.status);
    }
    if (head.encoded) {
        return "a Transfer-Encoding instead of a plain length";
    }
    if (head.badLength) {
        return "an invalid Content-Length";
    }
    if (!head.length) {
        return "no Content-Length";
    }
    return {};
}

}  // namespace zn
