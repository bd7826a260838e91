#pragma once

#include <cstddef>
#include <string_view>

namespace zn::Utf8 {

// The byte count of the well-formed UTF-8 sequence starting at `at` (1 for ASCII), or 0 when the
// bytes there are not one: overlong forms, surrogates and code points past U+10FFFF count as
// malformed.
std::size_t SequenceLength(std::string_view text, std::size_t at);

// The longest prefix of at most `maxBytes` bytes that does not split a UTF-8 sequence.
std::string_view Cut(std::string_view text, std::size_t maxBytes);

}  // namespace zn::Utf8
