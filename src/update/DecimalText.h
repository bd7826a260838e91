#pragma once

#include <string_view>

namespace zn {

// The number that the text's leading decimal digits form, read the way the C runtime's atoi does
// on the seats: leading blanks and one sign are allowed, no digits give 0, and a value beyond the
// int range gives INT_MAX (or INT_MIN) instead of wrapping.
int LeadingDecimal(std::string_view text);

}  // namespace zn
