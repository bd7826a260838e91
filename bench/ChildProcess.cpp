#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <sstream>

extern char** environ;

namespace zn::bench {

ChildProcess::~ChildProcess() {
    Stop();
}

bool ChildProcess::Start(const std::vector<std::string>& arguments,
                         const std::filesystem::path& errors, std::chrono::seconds limit) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    m_output = pipeEnds[0];
    if (spawned != 0) {
        m_pid = -1;
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        return false;
    }
    const auto line = ReadLine(std::chrono::steady_clock::now() + limit);
    std::istringstream fields(line.value_or(""));
    std::string word;
    if (!(fields >> word >> m_ports[0] >> m_ports[1]) || word != "ready") {
        std::fprintf(stderr, "%s did not get ready\n", argv[0]);
        Stop();
        return false;
    }
    if (!(fields >> m_measured)) {
        m_measured = -1;
    }
    return true;
}

std::string ChildProcess::Stop(std::chrono::seconds limit) {
    if (m_pid <= 0) {
        return {};
    }
    kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string rest;
    while (const auto line = ReadLine(deadline)) {
        rest += *line + "\n";
    }
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    m_measured = -1;
    close(m_output);
    m_output = -1;
    return rest;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto end = m_buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{m_output, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) != 1) {
            return std::nullopt;
        }
        char chunk[512];
        const ssize_t count = read(m_output, chunk, sizeof chunk);
        if (count <= 0) {
            return std::nullopt;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(count));
    }
}

}  // namespace zn::bench
