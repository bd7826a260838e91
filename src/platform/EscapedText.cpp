#include "platform/EscapedText.h"

#include <charconv>
#include <system_error>
#include <utility>

namespace zn {

namespace {

enum class Backslash { Kept, Escaped };

std::string Escape(std::string_view text, Backslash backslash) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' && backslash == Backslash::Escaped) {
            escaped += "\\\\";
        } else if (byte >= 0x20 && byte != 0x7F) {
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == '\t') {
            escaped += "\\t";
        } else {
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        }
    }
    return escaped;
}

// The byte that the escape after a backslash stands for, and the length of that escape.
std::optional<std::pair<char, std::size_t>> EscapedByte(std::string_view escape) {
    if (escape.empty()) {
        return std::nullopt;
    }
    switch (escape.front()) {
        case '\\':
            return std::pair{'\\', std::size_t{1}};
        case 'n':
            return std::pair{'\n', std::size_t{1}};
        case 'r':
            return std::pair{'\r', std::size_t{1}};
        case 't':
            return std::pair{'\t', std::size_t{1}};
        case 'x':
            break;
        default:
            return std::nullopt;
    }
    if (escape.size() < 3) {
        return std::nullopt;
    }
    unsigned value = 0;
    const char* first = escape.data() + 1;
    const auto [end, error] = std::from_chars(first, first + 2, value, 16);
    if (error != std::errc() || end != first + 2) {
        return std::nullopt;
    }
    return std::pair{static_cast<char>(value), std::size_t{3}};
}

}  // namespace

std::string EscapeControlBytes(std::string_view text) {
    return Escape(text, Backslash::Kept);
}

std::string EscapeReversibly(std::string_view text) {
    return Escape(text, Backslash::Escaped);
}

std::optional<std::string> UnescapeReversibly(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t backslash = text.find('\\');
        out += text.substr(0, backslash);
        if (backslash == std::string_view::npos) {
            break;
        }
        const auto escaped = EscapedByte(text.substr(backslash + 1));
        if (!escaped) {
            return std::nullopt;
        }
        out += escaped->first;
        text.remove_prefix(backslash + 1 + escaped->second);
    }
    return out;
}

}  // namespace zn
