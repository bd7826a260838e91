#include "platform/ProgramOutput.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Child.h"
#include "platform/Log.h"
#include "platform/UniqueFd.h"

namespace zn {

namespace {

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

std::optional<ProgramOutput> RunForOutput(const std::vector<std::string>& argv,
                                          std::chrono::milliseconds limit) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        log::Error("Cannot run {}: no pipe ({})", argv.front(), std::strerror(errno));
        return std::nullopt;
    }
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    StartOptions options;
    options.searchPath = true;
    options.outputFd = writeEnd.Get();
    options.group = ChildGroup::OwnSession;
    Child child;
    if (const int error = StartChild(argv.front(), argv, options, child); error != 0) {
        log::Error("Cannot run {}: {}", argv.front(), std::strerror(error));
        return std::nullopt;
    }
    writeEnd.Reset();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    ProgramOutput result;
    const bool closed = ReadOutput(readEnd.Get(), deadline, result.output);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const auto ended =
        closed ? child.Wait(std::max(left, std::chrono::milliseconds(0))) : std::nullopt;
    if (!ended) {
        child.Signal(SIGKILL);
        log::Error("{} did not end within {} ms and was killed", argv.front(), limit.count());
        return std::nullopt;
    }
    result.exitCode = ended->code;
    return result;
}

}  // namespace zn
