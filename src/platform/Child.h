#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/UniqueFd.h"

namespace zn {

enum class ChildGroup {
    Ours,        // our process group and session
    OwnGroup,    // a process group of its own, so that it can be signalled with its helpers
    OwnSession,  // like a new console: neither our session nor our process group
};

struct StartOptions {
    bool searchPath = false;         // a file name without "/" is looked up in PATH
    std::filesystem::path folder{};  // its working folder; empty: ours
    // "NAME=value" entries; nullopt: ours.
    std::optional<std::vector<std::string>> environment{};
    int inputFd = -1;     // standard input; -1: /dev/null
    int outputFd = -1;    // standard output; -1: ours, or /dev/null when silent
    int errorFd = -1;     // standard error; -1: ours, or /dev/null when silent
    bool silent = false;  // what is not redirected above goes to /dev/null
    ChildGroup group = ChildGroup::Ours;
};

// How a child ended.
struct ExitStatus {
    int code = -1;   // its exit code; -1 when a signal ended it
    int signal = 0;  // the signal that ended it, else 0
    // As a shell reports it: the exit code, or 128 + the signal.
    int ShellCode() const { return signal != 0 ? 128 + signal : code; }
};

// A child process of ours, waited for through a process descriptor (no polling). One that has not
// been reaped when the object goes is reaped by a small thread of its own when it ends, so that
// it never lingers as a zombie; it is not stopped.
class Child {
public:
    Child() = default;
    ~Child();
    Child(Child&& other) noexcept;
    Child& operator=(Child&& other) noexcept;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool IsValid() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    // How it ended, once reaped.
    const std::optional<ExitStatus>& Ended() const { return m_ended; }
    // Reaps it when it has ended, without waiting; true while it runs.
    bool Running();
    // Waits up to `limit` for it to end and reaps it; nullopt when it still runs.
    std::optional<ExitStatus> Wait(std::chrono::milliseconds limit);
    // To the child, or with `wholeGroup` to its process group; false when refused.
    bool Signal(int number, bool wholeGroup = false) const;
    // Nobody waits for it any more: it is reaped in the background when it ends.
    void Release();

    friend int StartChild(const std::string& file, const std::vector<std::string>& argv,
                          const StartOptions& options, Child& child);

private:
    pid_t m_pid = -1;
    UniqueFd m_processFd;
    std::optional<ExitStatus> m_ended;
};

// Starts a program with posix_spawn (never through a shell), with no descriptor of ours above 2,
// no signal blocked and default signal handling. 0 with `child` set, or the errno value of the
// failure (ENOENT for a missing program).
int StartChild(const std::string& file, const std::vector<std::string>& argv,
               const StartOptions& options, Child& child);

// Starts a program that nobody waits for; it is reaped in the background when it ends. 0 or the
// errno value, as StartChild.
int StartDetached(const std::string& file, const std::vector<std::string>& argv,
                  const StartOptions& options);

}  // namespace zn
