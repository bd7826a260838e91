#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "WaitFor.h"

extern char** environ;

namespace zn::test {
namespace {

std::vector<char*> NullTerminated(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Both ends close on exec; the child's end is duplicated onto its descriptor.
bool MakePipe(int (&ends)[2]) {
    return pipe2(ends, O_CLOEXEC) == 0;
}

void CloseIfOpen(int& descriptor) {
    if (descriptor >= 0) {
        close(descriptor);
        descriptor = -1;
    }
}

}  // namespace

ChildProcess::ChildProcess(ChildOptions options) : m_ownGroup(options.ownGroup) {
    int outputPipe[2] = {-1, -1};
    int inputPipe[2] = {-1, -1};
    if (options.arguments.empty() || (options.pipeOutput && !MakePipe(outputPipe)) ||
        (options.pipeInput && !MakePipe(inputPipe))) {
        CloseIfOpen(outputPipe[0]);
        CloseIfOpen(outputPipe[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!options.folder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
    }
    if (options.pipeInput) {
        posix_spawn_file_actions_adddup2(&actions, inputPipe[0], STDIN_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    if (!options.log.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, options.log.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
    }
    if (options.pipeOutput) {
        posix_spawn_file_actions_adddup2(&actions, outputPipe[1], STDOUT_FILENO);
    } else if (!options.log.empty()) {
        posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    short flags = POSIX_SPAWN_SETSIGMASK;
    if (options.ownGroup) {
        posix_spawnattr_setpgroup(&attributes, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attributes, flags);

    std::vector<char*> argv = NullTerminated(options.arguments);
    std::vector<char*> envp =
        options.environment ? NullTerminated(*options.environment) : std::vector<char*>{};
    if (posix_spawnp(&m_pid, argv[0], &actions, &attributes, argv.data(),
                     options.environment ? envp.data() : environ) != 0) {
        m_pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    CloseIfOpen(outputPipe[1]);
    CloseIfOpen(inputPipe[0]);
    m_output = outputPipe[0];
    m_input = inputPipe[1];
}

ChildProcess::~ChildProcess() {
    CloseIfOpen(m_input);
    if (Running()) {
        Signal(SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    } else if (m_ownGroup && m_pid > 0) {
        Signal(SIGKILL);  // what the program left of its group
    }
    CloseIfOpen(m_output);
}

bool ChildProcess::Running() {
    if (m_pid <= 0 || m_exitCode) {
        return false;
    }
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == 0) {
        return true;
    }
    m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
    WaitFor([this] { return !Running(); }, limit);
    return m_exitCode;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (const auto end = m_buffer.find('\n'); end != std::string::npos) {
            std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{m_output, POLLIN, 0};
        if (m_output < 0 || left.count() <= 0 ||
            poll(&readable, 1, static_cast<int>(left.count())) != 1) {
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

bool ChildProcess::WriteInput(std::string_view text) {
    return m_input >= 0 &&
           write(m_input, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void ChildProcess::Signal(int number) const {
    if (m_pid > 0) {
        kill(m_ownGroup ? -m_pid : m_pid, number);
    }
}

void ChildProcess::Stop(std::chrono::milliseconds limit) {
    if (!Running()) {
        return;
    }
    Signal(SIGTERM);
    if (!WaitForExit(limit)) {
        Signal(SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_exitCode = 128 + SIGKILL;
    }
}

}  // namespace zn::test
