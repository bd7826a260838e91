#pragma once

#include <cstdint>
#include <string_view>

namespace zn {

// Seconds since 1970-01-01 00:00:00 UTC; stamps are compared as numbers.
using UpdateStamp = std::int64_t;

// The stamp of an "Update" text "year-month-day hour:minute:second" in local time. Each field takes
// at most four digits; scanning stops at the first character that does not fit and the fields not
// reached keep their defaults 2000-01-01 00:00:00 (so the empty text gives that moment). Fields
// out of their range roll over as mktime does (month 13 is January of the next year). Every text
// the format can hold fits the 64-bit count: years before 1970 give negative stamps, which still
// order correctly, and nothing is out of range.
UpdateStamp ParseUpdateStamp(std::string_view text);

}  // namespace zn
