#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Text inside the programs is UTF-8; these are the only conversions to and from the encodings
// that the wire and the exchanged files use. A character the target cannot hold becomes '?',
// as Windows does; invalid input bytes become '?' too. Nothing here throws.
namespace zn::TextCodec {

std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGb2312(std::string_view utf8);
std::string Gb2312ToUtf8(std::string_view gb2312);
// No terminator is added or expected; a trailing odd byte is dropped.
std::vector<std::byte> Utf8ToUtf16Le(std::string_view utf8);
std::string Utf16LeToUtf8(std::span<const std::byte> utf16le);

}  // namespace zn::TextCodec
