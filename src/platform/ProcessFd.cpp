#include "platform/ProcessFd.h"

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/Log.h"

namespace zn {

// Through syscall: Debian 12's glibc declares the wrappers without C linkage for C++.
UniqueFd OpenProcessFd(pid_t pid) {
    return UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
}

bool SignalProcessFd(int processFd, int number) {
    return ::syscall(SYS_pidfd_send_signal, processFd, number, nullptr, 0) == 0;
}

bool WaitForProcessFd(int processFd, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const auto timeout = std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX);
        pollfd ended{processFd, POLLIN, 0};
        const int ready = ::poll(&ended, 1, static_cast<int>(timeout));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 && timeout == 0) {
            return false;
        }
        if (ready < 0 && errno != EINTR) {
            log::Error("Cannot wait for a process to end: {}", std::strerror(errno));
            return false;
        }
    }
}

bool WaitForProcessEnd(pid_t pid, std::chrono::milliseconds limit) {
    const UniqueFd processFd = OpenProcessFd(pid);
    if (processFd.IsValid()) {
        return WaitForProcessFd(processFd.Get(), limit);
    }
    if (errno == ESRCH) {
        return true;
    }
    log::Error("Cannot watch process {}: {}", pid, std::strerror(errno));
    return false;
}

}  // namespace zn
