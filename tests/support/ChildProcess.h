#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Child.h"
#include "platform/UniqueFd.h"

namespace zn::test {

struct ChildOptions {
    std::vector<std::string> arguments{};  // the program first (a name without "/" from PATH)
    std::filesystem::path folder{};        // its working folder; empty: ours
    // "NAME=value" entries; nullopt: ours.
    std::optional<std::vector<std::string>> environment{};
    // Standard error, and standard output unless it is piped, appended; empty: ours.
    std::filesystem::path log{};
    bool pipeOutput = false;  // standard output read through ReadLine
    bool pipeInput = false;   // standard input written through WriteInput, else /dev/null
    // A process group of its own, signalled as a whole: helper processes (a browser's) go with it.
    bool ownGroup = false;
};

// A program that a test or a benchmark runs as a child, never through a shell, with no signal
// blocked that we block. It is killed (with its group) and reaped when the object goes.
class ChildProcess {
public:
    explicit ChildProcess(ChildOptions options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_child.IsValid(); }
    pid_t Pid() const { return m_child.Pid(); }
    bool Running();
    // The exit code (128 + the signal for a killed one) once it has ended within the limit.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit);

    // The next line of its output without the line break; nullopt at the deadline or the end.
    std::optional<std::string> ReadLine(std::chrono::steady_clock::time_point deadline);
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit) {
        return ReadLine(std::chrono::steady_clock::now() + limit);
    }
    bool WriteInput(std::string_view text);

    // To the program, or to its group.
    void Signal(int number) const;
    // SIGTERM; SIGKILL when it has not ended within the limit; reaped either way.
    void Stop(std::chrono::milliseconds limit);

private:
    Child m_child;
    UniqueFd m_output;
    UniqueFd m_input;
    bool m_ownGroup = false;
    std::string m_buffer;
};

}  // namespace zn::test
