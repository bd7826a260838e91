#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zn {

// The command line a runner hands to a Windows program: the program path in double quotes, then
// each argument after a space, unchanged (callers quote where they need to).
std::string BuildCommandLine(std::string_view program, const std::vector<std::string>& arguments);

// The argument vector a Windows program gets from a command line: spaces and tabs separate
// arguments, double quotes group (and are removed), so "a b" c gives [a b] [c].
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace zn
