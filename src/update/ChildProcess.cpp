#include "update/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/Log.h"
#include "platform/Threads.h"
#include "platform/UniqueFd.h"

extern char** environ;

namespace zn {

namespace {

constexpr std::size_t kReaperStackBytes = 64 * 1024;
constexpr std::chrono::milliseconds kPollInterval{10};

class SpawnSetup {
public:
    SpawnSetup() {
        m_actionsReady = posix_spawn_file_actions_init(&m_actions) == 0;
        m_attributesReady = posix_spawnattr_init(&m_attributes) == 0;
    }
    ~SpawnSetup() {
        if (m_actionsReady) {
            posix_spawn_file_actions_destroy(&m_actions);
        }
        if (m_attributesReady) {
            posix_spawnattr_destroy(&m_attributes);
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // 0 or an errno value.
    int Prepare(const SpawnOptions& options) {
        if (!m_actionsReady || !m_attributesReady) {
            return ENOMEM;
        }
        int error = posix_spawn_file_actions_addopen(&m_actions, 0, "/dev/null", O_RDONLY, 0);
        if (error == 0 && options.outputFd >= 0) {
            error = posix_spawn_file_actions_adddup2(&m_actions, options.outputFd, 1);
        } else if (error == 0 && options.silent) {
            error = posix_spawn_file_actions_addopen(&m_actions, 1, "/dev/null", O_WRONLY, 0);
        }
        if (error == 0 && options.silent) {
            error = posix_spawn_file_actions_addopen(&m_actions, 2, "/dev/null", O_WRONLY, 0);
        }
        if (error == 0) {
            // Sockets and files of ours stay ours (handles are not inherited).
            error = posix_spawn_file_actions_addclosefrom_np(&m_actions, 3);
        }
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        if (error == 0) {
            error = posix_spawnattr_setsigmask(&m_attributes, &none);
        }
        if (error == 0) {
            error = posix_spawnattr_setsigdefault(&m_attributes, &all);
        }
        if (error == 0) {
            // Like a new console: the program is not part of our session or process group.
            error = posix_spawnattr_setflags(
                &m_attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        }
        return error;
    }

    const posix_spawn_file_actions_t* Actions() const { return &m_actions; }
    const posix_spawnattr_t* Attributes() const { return &m_attributes; }

private:
    posix_spawn_file_actions_t m_actions{};
    posix_spawnattr_t m_attributes{};
    bool m_actionsReady = false;
    bool m_attributesReady = false;
};

std::optional<int> TryReap(pid_t child) {
    int status = 0;
    pid_t result = 0;
    do {
        result = waitpid(child, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) {
        return std::nullopt;
    }
    return result == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<int> WaitAndReap(pid_t child, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        if (const auto exitCode = TryReap(child)) {
            return exitCode;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

// Reads what the child writes until it closes its end or the deadline passes; false on time-out.
bool ReadOutput(int fd, std::chrono::steady_clock::time_point deadline, std::string& output) {
    char buffer[1024];
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd readable{fd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            return false;
        }
        if (ready < 0) {
            return true;  // nothing more can be read; the exit status decides
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return true;
        }
        const std::size_t room = kMaxProgramOutputBytes - output.size();
        output.append(buffer, std::min(room, static_cast<std::size_t>(got)));
    }
}

}  // namespace

int SpawnProgram(const std::string& file, const std::vector<std::string>& argv,
                 const SpawnOptions& options, pid_t& child) {
    SpawnSetup setup;
    if (const int error = setup.Prepare(options); error != 0) {
        return error;
    }
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const std::string& argument : argv) {
        pointers.push_back(const_cast<char*>(argument.c_str()));
    }
    pointers.push_back(nullptr);
    const auto spawn = options.searchPath ? posix_spawnp : posix_spawn;
    return spawn(&child, file.c_str(), setup.Actions(), setup.Attributes(), pointers.data(),
                 environ);
}

bool WaitForChild(pid_t child, std::chrono::milliseconds limit) {
    return WaitAndReap(child, limit).has_value();
}

void ReapInBackground(pid_t child) {
    const bool started = StartDetachedThread(
        [child] {
            int status = 0;
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        },
        kReaperStackBytes);
    if (!started) {
        log::Warn("No thread to reap process {}; it stays a zombie when it ends", child);
    }
}

std::optional<ProgramOutput> RunForOutput(const std::vector<std::string>& argv,
                                          std::chrono::milliseconds limit) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        log::Error("Cannot run {}: no pipe ({})", argv.front(), std::strerror(errno));
        return std::nullopt;
    }
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    pid_t child = -1;
    SpawnOptions options;
    options.searchPath = true;
    options.outputFd = writeEnd.Get();
    if (const int error = SpawnProgram(argv.front(), argv, options, child); error != 0) {
        log::Error("Cannot run {}: {}", argv.front(), std::strerror(error));
        return std::nullopt;
    }
    writeEnd.Reset();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    ProgramOutput result;
    const bool closed = ReadOutput(readEnd.Get(), deadline, result.output);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const auto exitCode =
        closed ? WaitAndReap(child, std::max(left, std::chrono::milliseconds(0))) : std::nullopt;
    if (!exitCode) {
        ::kill(child, SIGKILL);
        ReapInBackground(child);
        log::Error("{} did not end within {} ms and was killed", argv.front(), limit.count());
        return std::nullopt;
    }
    result.exitCode = *exitCode;
    return result;
}

}  // namespace zn
