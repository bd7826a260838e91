#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace zn {

struct ProgramOutput {
    int exitCode = -1;   // -1 when it did not exit normally
    std::string output;  // standard output, at most kMaxProgramOutputBytes
};
inline constexpr std::size_t kMaxProgramOutputBytes = 4096;

// Runs a program found through PATH in a session of its own and collects its standard output.
// nullopt (logged) when it cannot be started or has not ended within `limit`; it is then killed.
std::optional<ProgramOutput> RunForOutput(const std::vector<std::string>& argv,
                                          std::chrono::milliseconds limit);

}  // namespace zn
