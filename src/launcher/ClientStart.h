#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zn::launcher {

// Starts the client named by "Main" in programFolder with the launcher's own arguments, handed on
// as the command line "path" arg1 arg2 ... splits them, and without waiting. False (logged) when it
// could not be started, for example a "Main" naming no program.
bool StartClient(const std::filesystem::path& programFolder,
                 const std::vector<std::string>& arguments);

}  // namespace zn::launcher
