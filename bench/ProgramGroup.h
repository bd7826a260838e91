#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace zn::bench {

// A program in a process group of its own (the browser's helper processes join it), its output
// appended to a file, with no signal blocked that this process blocks.
class ProgramGroup {
public:
    ProgramGroup() = default;
    ~ProgramGroup();
    ProgramGroup(const ProgramGroup&) = delete;
    ProgramGroup& operator=(const ProgramGroup&) = delete;

    // False (after a message) when the program cannot be started.
    bool Start(const std::vector<std::string>& arguments, const std::filesystem::path& output);
    pid_t Pid() const { return m_pid; }
    bool Running();
    // SIGTERM to the group, SIGKILL to it when the program has not ended within the limit.
    void Stop(std::chrono::milliseconds limit = std::chrono::seconds(3));

private:
    pid_t m_pid = -1;
};

}  // namespace zn::bench
