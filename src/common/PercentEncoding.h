#pragma once

#include <string>
#include <string_view>

namespace zn {

// The bytes with each one that `escaped(byte)` selects written as "%XX" (upper-case hexadecimal).
template <typename Selector>
std::string PercentEncode(std::string_view bytes, Selector escaped) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (escaped(byte)) {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        } else {
            encoded += c;
        }
    }
    return encoded;
}

// A UTF-8 text as it goes into a page address: its code page 936 bytes, with control bytes, bytes
// of 0x80 and above and the characters of `reserved` percent-encoded. The result is ASCII, so
// nothing on the way to the web host encodes it again.
std::string PercentEncodeGbk(std::string_view utf8, std::string_view reserved);

}  // namespace zn
