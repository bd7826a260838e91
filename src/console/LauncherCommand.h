#pragma once

#include <filesystem>
#include <string>

#include "update/CommandRunner.h"

namespace zn::console {

// The console launcher named by "Launch", started with no arguments: the whole value is the
// program, as its quoted command line makes it. A bare name is looked for in the console's own
// folder first, where Windows' search for a program begins, and then in PATH.
CommandRunner LauncherCommand(const std::string& launch,
                              const std::filesystem::path& programFolder);

}  // namespace zn::console
