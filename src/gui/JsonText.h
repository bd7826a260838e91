#pragma once

#include <string>
#include <string_view>

namespace zn::gui {

// Appends `text` as a JSON string literal, quotes included. UTF-8 passes through unchanged so
// Chinese stays readable; control characters are escaped and bytes that are not UTF-8 become
// U+FFFD, so the output is always valid JSON.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace zn::gui
