#pragma once

#include <string>
#include <string_view>

// Case of ASCII letters alone: program names, header names, encodings and tags are ASCII, and
// bytes of UTF-8 or code page 936 text stay as they are whatever the locale.
namespace zn {

std::string LowercaseAscii(std::string_view text);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace zn
