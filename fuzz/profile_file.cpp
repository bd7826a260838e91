// The profile file rules on any text: reading a key, and writing one and reading it back.
// Input: section, NUL, key, NUL, value, NUL, the file's text.

#include <cstdint>

#include "FuzzSupport.h"
#include "platform/ProfileFile.h"

namespace {

// Values that the reading rules would change (outer blanks or quotes) cannot read back as set.
bool ReadsBackUnchanged(std::string_view value) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return value.empty() || (!blank(value.front()) && !blank(value.back()) &&
                             value.front() != '"' && value.back() != '"');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = zn::fuzz::SplitInput({data, size}, '\0', 4);
    const auto section = parts[0];
    const auto key = parts[1];
    const auto value = parts[2];
    const auto text = parts[3];
    zn::FindProfileValue(text, section, key);
    const auto written = zn::SetProfileValue(text, section, key, value);
    if (written && ReadsBackUnchanged(value) &&
        zn::FindProfileValue(*written, section, key) != value) {
        __builtin_trap();
    }
    return 0;
}
