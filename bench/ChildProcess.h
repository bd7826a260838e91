#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zn::bench {

// A server under measurement in a process of its own, so that its memory and threads are its
// own. It announces itself with one line "ready <port> <port> [<pid>]" on its standard output;
// the pid names the process to measure when that is not the child itself.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program, its standard error appended to `errors`, and waits for its ready line;
    // false (after a message) when it did not come in time.
    bool Start(const std::vector<std::string>& arguments, const std::filesystem::path& errors,
               std::chrono::seconds limit);
    pid_t Pid() const { return m_pid; }
    pid_t MeasuredPid() const { return m_measured > 0 ? m_measured : m_pid; }
    std::uint16_t Port() const { return m_ports[0]; }
    std::uint16_t SecondPort() const { return m_ports[1]; }
    // SIGTERM, then whatever it still prints; SIGKILL when it has not ended within the limit.
    std::string Stop(std::chrono::seconds limit = std::chrono::seconds(10));

private:
    std::optional<std::string> ReadLine(std::chrono::steady_clock::time_point deadline);

    pid_t m_pid = -1;
    pid_t m_measured = -1;
    int m_output = -1;
    std::string m_buffer;
    std::uint16_t m_ports[2] = {0, 0};
};

}  // namespace zn::bench
