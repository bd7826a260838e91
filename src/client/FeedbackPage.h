#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace zn::client {

// The file in the seat client's folder that holds the last page the console pushed.
inline constexpr std::string_view kFeedbackPageName = "MyZentrova2.html";

// Writes all the page's bytes (its trailing NUL included) the way a text-mode file does, each
// "\n" as "\r\n", replacing the file in one step so that a reader never sees half a page.
// False when the file could not be written; the old one then stays.
bool StoreFeedbackPage(const std::filesystem::path& file, std::span<const std::byte> page);

// True when the page's text up to its first NUL holds "成功" (the GBK bytes B3 C9 B9 A6, which
// GB2312 shares).
bool ReportsSuccess(std::span<const std::byte> page);

// A file:// address for the browser, bytes outside the unreserved set percent-encoded.
std::string FileUrl(const std::filesystem::path& file);

}  // namespace zn::client
