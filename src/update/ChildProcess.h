#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace zn {

struct SpawnOptions {
    bool searchPath = false;  // a file name without "/" is looked up in PATH
    bool silent = false;      // standard output and error go to /dev/null
    int outputFd = -1;        // when set, standard output goes there
};

// Starts a program with posix_spawn (never through a shell) in a session of its own, with standard
// input from /dev/null, no descriptor of ours above 2 and default signal handling. 0 with `child`
// set, or the errno value of the failure (ENOENT for a missing program).
int SpawnProgram(const std::string& file, const std::vector<std::string>& argv,
                 const SpawnOptions& options, pid_t& child);

// Waits up to `limit` for a child of ours to end and reaps it. True when it ended.
bool WaitForChild(pid_t child, std::chrono::milliseconds limit);

// A child nobody waits for is reaped by a small thread of its own when it ends, so that it never
// lingers as a zombie.
void ReapInBackground(pid_t child);

struct ProgramOutput {
    int exitCode = -1;   // -1 when it did not exit normally
    std::string output;  // standard output, at most kMaxProgramOutputBytes
};
inline constexpr std::size_t kMaxProgramOutputBytes = 4096;

// Runs a program found through PATH and collects its standard output. nullopt (logged) when it
// cannot be started or has not ended within `limit`; it is then killed.
std::optional<ProgramOutput> RunForOutput(const std::vector<std::string>& argv,
                                          std::chrono::milliseconds limit);

}  // namespace zn
