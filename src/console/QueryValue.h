#pragma once

#include <string>
#include <string_view>

namespace zn::console {

// A value as it goes into a page address's query: the bytes that would change the query's
// structure ("%", "&", "#", "+", space) and control bytes are percent-encoded; everything else,
// Chinese text included, is kept as it is, so ordinary values travel unchanged.
std::string EncodeQueryValue(std::string_view value);

}  // namespace zn::console
