#pragma once

#include <string>
#include <string_view>

namespace zn::console {

// A value (UTF-8) as it goes into a page address's query: its code page 936 bytes, with the
// bytes that would change the query's structure ("%", "&", "#", "+", space), control bytes and
// every byte of Chinese text percent-encoded ("张三" becomes "%D5%C5%C8%FD").
std::string EncodeQueryValue(std::string_view value);

}  // namespace zn::console
