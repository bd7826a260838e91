#include "platform/Child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/Log.h"
#include "platform/ProcessFd.h"
#include "platform/Threads.h"

extern char** environ;

namespace zn {

namespace {

constexpr std::size_t kReaperStackBytes = 64 * 1024;

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
    int Prepare(const StartOptions& options) {
        if (!m_actionsReady || !m_attributesReady) {
            return ENOMEM;
        }
        int error = 0;
        if (!options.folder.empty()) {
            error = posix_spawn_file_actions_addchdir_np(&m_actions, options.folder.c_str());
        }
        error = error != 0 ? error : Redirect(0, options.inputFd, O_RDONLY, true);
        error = error != 0 ? error : Redirect(1, options.outputFd, O_WRONLY, options.silent);
        error = error != 0 ? error : Redirect(2, options.errorFd, O_WRONLY, options.silent);
        if (error == 0) {
            // Sockets and files of ours stay ours (handles are not inherited).
            error = posix_spawn_file_actions_addclosefrom_np(&m_actions, 3);
        }
        return error != 0 ? error : SetAttributes(options.group);
    }

    const posix_spawn_file_actions_t* Actions() const { return &m_actions; }
    const posix_spawnattr_t* Attributes() const { return &m_attributes; }

private:
    int Redirect(int target, int source, int mode, bool toNull) {
        if (source >= 0) {
            return posix_spawn_file_actions_adddup2(&m_actions, source, target);
        }
        return toNull ? posix_spawn_file_actions_addopen(&m_actions, target, "/dev/null", mode, 0)
                      : 0;
    }

    int SetAttributes(ChildGroup group) {
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        int error = posix_spawnattr_setsigmask(&m_attributes, &none);
        if (error == 0) {
            error = posix_spawnattr_setsigdefault(&m_attributes, &all);
        }
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (group == ChildGroup::OwnSession) {
            flags |= POSIX_SPAWN_SETSID;
        } else if (group == ChildGroup::OwnGroup) {
            flags |= POSIX_SPAWN_SETPGROUP;
            error = error != 0 ? error : posix_spawnattr_setpgroup(&m_attributes, 0);
        }
        return error != 0 ? error : posix_spawnattr_setflags(&m_attributes, flags);
    }

    posix_spawn_file_actions_t m_actions{};
    posix_spawnattr_t m_attributes{};
    bool m_actionsReady = false;
    bool m_attributesReady = false;
};

std::vector<char*> NullTerminated(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (const std::string& text : texts) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

ExitStatus StatusOf(int status) {
    if (WIFSIGNALED(status)) {
        return ExitStatus{-1, WTERMSIG(status)};
    }
    return ExitStatus{WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0};
}

void ReapInBackground(pid_t pid) {
    const bool started = StartDetachedThread(
        [pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        },
        kReaperStackBytes);
    if (!started) {
        log::Warn("No thread to reap process {}; it stays a zombie when it ends", pid);
    }
}

}  // namespace

Child::~Child() {
    Release();
}

Child::Child(Child&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)),
      m_processFd(std::move(other.m_processFd)),
      m_ended(std::exchange(other.m_ended, std::nullopt)) {}

Child& Child::operator=(Child&& other) noexcept {
    if (this != &other) {
        Release();
        m_pid = std::exchange(other.m_pid, -1);
        m_processFd = std::move(other.m_processFd);
        m_ended = std::exchange(other.m_ended, std::nullopt);
    }
    return *this;
}

bool Child::Running() {
    return IsValid() && !m_ended && !Wait(std::chrono::milliseconds(0));
}

std::optional<ExitStatus> Child::Wait(std::chrono::milliseconds limit) {
    if (m_ended || !IsValid()) {
        return m_ended;
    }
    if (!WaitForProcessFd(m_processFd.Get(), limit)) {
        return std::nullopt;
    }
    int status = 0;
    pid_t result = 0;
    do {
        result = waitpid(m_pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    m_ended = result == m_pid ? StatusOf(status) : ExitStatus{};
    m_processFd.Reset();
    return m_ended;
}

bool Child::Signal(int number, bool wholeGroup) const {
    if (!IsValid()) {
        return false;
    }
    if (wholeGroup) {
        return ::kill(-m_pid, number) == 0;
    }
    // Through the descriptor: a reaped child's pid may already name another process.
    return m_processFd.IsValid() && SignalProcessFd(m_processFd.Get(), number);
}

void Child::Release() {
    if (IsValid() && !m_ended) {
        ReapInBackground(m_pid);
    }
    m_pid = -1;
    m_processFd.Reset();
    m_ended.reset();
}

int StartChild(const std::string& file, const std::vector<std::string>& argv,
               const StartOptions& options, Child& child) {
    child.Release();
    SpawnSetup setup;
    if (const int error = setup.Prepare(options); error != 0) {
        return error;
    }
    const std::vector<char*> arguments = NullTerminated(argv);
    const std::vector<char*> environment =
        options.environment ? NullTerminated(*options.environment) : std::vector<char*>{};
    const auto spawn = options.searchPath ? posix_spawnp : posix_spawn;
    pid_t pid = -1;
    if (const int error =
            spawn(&pid, file.c_str(), setup.Actions(), setup.Attributes(), arguments.data(),
                  options.environment ? environment.data() : environ);
        error != 0) {
        return error;
    }
    // Until it is reaped its pid is ours alone, so the descriptor names this child.
    child.m_processFd = OpenProcessFd(pid);
    const int openError = errno;
    child.m_pid = pid;
    if (!child.m_processFd.IsValid()) {
        ::kill(pid, SIGKILL);
        child.Release();
        log::Error("Cannot watch process {}: {}", pid, std::strerror(openError));
        return openError;
    }
    return 0;
}

int StartDetached(const std::string& file, const std::vector<std::string>& argv,
                  const StartOptions& options) {
    Child child;
    return StartChild(file, argv, options, child);
}

}  // namespace zn
