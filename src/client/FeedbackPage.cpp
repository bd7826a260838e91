#include "client/FeedbackPage.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace zn::client {
namespace {

bool WriteAll(int fd, const std::vector<char>& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace

bool StoreFeedbackPage(const std::filesystem::path& file, std::span<const std::byte> page) {
    std::vector<char> text;
    text.reserve(page.size() + page.size() / 32);
    for (const std::byte byte : page) {
        if (byte == std::byte{'\n'}) {
            text.push_back('\r');
        }
        text.push_back(static_cast<char>(byte));
    }
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return false;
    }
    const bool written = fchmod(fd, 0644) == 0 && WriteAll(fd, text);
    const bool closed = close(fd) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), file.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
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
