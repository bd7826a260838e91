#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace zn::client {

// The body of an order request: "O" + serial when the page's platform is "murvel", else the serial
// alone; "Z" in front at the counter. GBK text with its NUL.
std::vector<std::byte> BuildOrderBody(std::string_view serial, std::string_view platformId,
                                      int counterMode);

}  // namespace zn::client
