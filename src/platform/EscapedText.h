#pragma once

#include <optional>
#include <string>
#include <string_view>

// Untrusted text (from the network, a page, a file, a window caption) as it may stand in one line
// of a log, a listing or a record. Every control byte (below 0x20, and 0x7F) is written as "\n",
// "\r", "\t" or "\xhh"; every other byte stays as it is, so UTF-8 and code page 936 text alike
// reach the reader unchanged.
namespace zn {

// The logs' form: a backslash stays as it is, so Windows paths read as they are written, and
// escaping escaped text again changes nothing. Nothing reads it back.
std::string EscapeControlBytes(std::string_view text);

// The form for text that is read again: a backslash is also written as "\\", so that
// UnescapeReversibly gives back exactly the text.
std::string EscapeReversibly(std::string_view text);

// The text that EscapeReversibly wrote; nullopt for a backslash that starts none of its escapes.
std::optional<std::string> UnescapeReversibly(std::string_view text);

}  // namespace zn
