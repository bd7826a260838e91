#pragma once

#include <string_view>

namespace zn {

// A Windows program's name as Linux knows it: without its ".exe" ending (any case), which Linux
// programs do not have. A name without that ending, or that is nothing else, stays as it is.
std::string_view WithoutExeSuffix(std::string_view name);

}  // namespace zn
