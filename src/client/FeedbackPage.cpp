#include "client/FeedbackPage.h"

#include <algorithm>
#include <array>
#include <string>
#include <system_error>

#include "platform/Log.h"
#include "platform/ReplacementFile.h"

namespace zn::client {

bool StoreFeedbackPage(const std::filesystem::path& file, std::span<const std::byte> page) {
    std::string text;
    text.reserve(page.size() + page.size() / 32);
    for (const std::byte byte : page) {
        if (byte == std::byte{'\n'}) {
            text.push_back('\r');
        }
        text.push_back(static_cast<char>(byte));
    }
    const auto replaced = ReplaceFileSafely(file, text);
    if (!replaced) {
        log::Error("Cannot store the result page: {}", replaced.failure);
    }
    return static_cast<bool>(replaced);
}

bool ReportsSuccess(std::span<const std::byte> page) {
    static constexpr std::array<std::byte, 4> kSuccess = {std::byte{0xB3}, std::byte{0xC9},
                                                          std::byte{0xB9}, std::byte{0xA6}};
    const auto end = std::find(page.begin(), page.end(), std::byte{0});
    return std::search(page.begin(), end, kSuccess.begin(), kSuccess.end()) != end;
}

std::string FileUrl(const std::filesystem::path& file) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::error_code error;
    const auto absolute = std::filesystem::absolute(file, error);
    std::string url = "file://";
    for (const unsigned char c : (error ? file : absolute).string()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 0x0F];
        }
    }
    return url;
}

}  // namespace zn::client
