#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zn::test {
class ChildProcess;
}

namespace zn::bench {

// A server under measurement in a process of its own, so that its memory and threads are its
// own. It announces itself with one line "ready <port> <port> [<pid>]" on its standard output;
// the pid names the process to measure when that is not the child itself.
class ServerProcess {
public:
    ServerProcess();
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the program, its standard error appended to `errors`, and waits for its ready line;
    // false (after a message) when it did not come in time.
    bool Start(const std::vector<std::string>& arguments, const std::filesystem::path& errors,
               std::chrono::seconds limit);
    pid_t Pid() const;
    pid_t MeasuredPid() const { return m_measured > 0 ? m_measured : Pid(); }
    std::uint16_t Port() const { return m_ports[0]; }
    std::uint16_t SecondPort() const { return m_ports[1]; }
    // SIGTERM, then whatever it still prints; SIGKILL when it has not ended within the limit.
    std::string Stop(std::chrono::seconds limit = std::chrono::seconds(10));

private:
    std::unique_ptr<zn::test::ChildProcess> m_child;
    pid_t m_measured = -1;
    std::uint16_t m_ports[2] = {0, 0};
};

}  // namespace zn::bench
