#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>

namespace zn::test {
namespace {

constexpr std::chrono::hours kForever{24};

// Both ends close on exec; the child's end is duplicated onto its descriptor.
bool MakePipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    readEnd.Reset(ends[0]);
    writeEnd.Reset(ends[1]);
    return true;
}

}  // namespace

ChildProcess::ChildProcess(ChildOptions options) : m_ownGroup(options.ownGroup) {
    UniqueFd childOutput;
    UniqueFd childInput;
    UniqueFd log;
    if (options.arguments.empty() || (options.pipeOutput && !MakePipe(m_output, childOutput)) ||
        (options.pipeInput && !MakePipe(childInput, m_input))) {
        return;
    }
    if (!options.log.empty()) {
        log.Reset(open(options.log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
        if (!log.IsValid()) {
            return;
        }
    }
    StartOptions start;
    start.searchPath = true;
    start.folder = options.folder;
    start.environment = std::move(options.environment);
    start.inputFd = childInput.Get();
    start.outputFd = options.pipeOutput ? childOutput.Get() : log.Get();
    start.errorFd = log.Get();
    start.group = options.ownGroup ? ChildGroup::OwnGroup : ChildGroup::Ours;
    StartChild(options.arguments.front(), options.arguments, start, m_child);
}

ChildProcess::~ChildProcess() {
    m_input.Reset();
    if (Running()) {
        Signal(SIGKILL);
        m_child.Wait(kForever);
    } else if (m_ownGroup && Started()) {
        Signal(SIGKILL);  // what the program left of its group
    }
}

bool ChildProcess::Running() {
    return m_child.Running();
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
    const auto ended = m_child.Wait(limit);
    return ended ? std::optional<int>(ended->ShellCode()) : std::nullopt;
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
        pollfd readable{m_output.Get(), POLLIN, 0};
        if (!m_output.IsValid() || left.count() <= 0 ||
            poll(&readable, 1, static_cast<int>(left.count())) != 1) {
            return std::nullopt;
        }
        char chunk[512];
        const ssize_t count = read(m_output.Get(), chunk, sizeof chunk);
        if (count <= 0) {
            return std::nullopt;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(count));
    }
}

bool ChildProcess::WriteInput(std::string_view text) {
    return m_input.IsValid() &&
           write(m_input.Get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void ChildProcess::Signal(int number) const {
    m_child.Signal(number, m_ownGroup);
}

void ChildProcess::Stop(std::chrono::milliseconds limit) {
    if (!Running()) {
        return;
    }
    Signal(SIGTERM);
    if (!WaitForExit(limit)) {
        Signal(SIGKILL);
        m_child.Wait(kForever);
    }
}

}  // namespace zn::test
