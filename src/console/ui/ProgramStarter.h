#pragma once

#include <filesystem>

namespace zn::console {

// Starts the program in a process of its own: no arguments, the console's working folder, none
// of the console's descriptors beyond the standard three, default signal handling, no waiting.
// False when it could not be started.
bool StartDetachedProgram(const std::filesystem::path& program);

}  // namespace zn::console
