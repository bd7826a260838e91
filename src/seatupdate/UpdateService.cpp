#include "seatupdate/UpdateService.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "launcher/UpdateServiceWire.h"
#include "platform/Child.h"
#include "platform/LineStream.h"
#include "platform/Log.h"
#include "platform/Threads.h"
#include "platform/UniqueFd.h"

namespace zn::seatupdate {
namespace {

constexpr std::size_t kRelayStackBytes = 256 * 1024;
// A launcher that stops reading is given up after this long for one line.
constexpr std::chrono::seconds kSendWait{2};
// A killed or finished run has closed its output; it is reaped within this time or in the
// background.
constexpr std::chrono::seconds kReapWait{10};

constexpr std::chrono::milliseconds kAcceptPause{100};

std::atomic<int> g_connections{0};

// Passes the run's lines on to its launcher while it is there.
class RunRelay {
public:
    RunRelay(int client, int output)
        : m_client(client), m_output(output, launcher::kMaxServiceLineBytes) {}

    // Takes in what the run wrote; false once its output has ended (or broke the protocol).
    bool Pump() {
        const LineStatus read = m_output.ReadAvailable();
        std::string line;
        LineStatus next = LineStatus::Line;
        while ((next = m_output.NextAvailable(line)) == LineStatus::Line) {
            m_deploying = m_deploying || line + "\n" == m_deployingLine;
            if (m_launcherThere) {
                m_launcherThere =
                    SendText(m_client, line + "\n", std::chrono::steady_clock::now() + kSendWait);
            }
        }
        if (next == LineStatus::TooLong) {
            log::Error("The update run wrote an overlong line");
            return false;
        }
        return read != LineStatus::Closed && read != LineStatus::Failed;
    }

    void LauncherGone() { m_launcherThere = false; }
    bool LauncherThere() const { return m_launcherThere; }
    bool Deploying() const { return m_deploying; }

private:
    int m_client;
    LineReader m_output;
    const std::string m_deployingLine = launcher::ProgressLine(kProgressDeploying);
    bool m_launcherThere = true;
    bool m_deploying = false;
};

// Until the run's output ends; the run is killed once its launcher has gone, unless deploying.
void Relay(int client, int output, const Child& run) {
    RunRelay relay(client, output);
    bool running = true;
    while (running) {
        pollfd fds[2] = {{output, POLLIN, 0}, {relay.LauncherThere() ? client : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            log::Error("Cannot follow the update run: {}", std::strerror(errno));
            running = false;
        }
        // A byte more, the end or an error: the launcher no longer follows the protocol.
        if (fds[1].revents != 0) {
            running = relay.Pump();
            relay.LauncherGone();
        } else if (fds[0].revents != 0) {
            running = relay.Pump();
        }
        if ((!running || !relay.LauncherThere()) && !relay.Deploying()) {
            if (running) {
                log::Info("The launcher hung up before deploying; its run is abandoned");
            }
            run.Signal(SIGKILL);
            return;
        }
    }
}

UniqueFd MakeRunOutput(UniqueFd& writeEnd) {
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return {};
    }
    writeEnd.Reset(ends[1]);
    UniqueFd readEnd(ends[0]);
    if (::fcntl(readEnd.Get(), F_SETFL, O_NONBLOCK) != 0) {
        return {};
    }
    return readEnd;
}

void RefuseRun(int client) {
    const auto deadline = std::chrono::steady_clock::now() + kSendWait;
    SendText(client,
             launcher::ProgressLine(kProgressNoServer) +
                 launcher::ResultLine(UpdateResult::ManifestNotFetched),
             deadline);
}

void ServeConnection(const UniqueFd& client, const std::vector<std::string>& runCommand) {
    LineReader request(client.Get(), launcher::kServiceRequest.size() + 1);
    std::string line;
    const LineStatus status = request.Next(line, std::chrono::steady_clock::now() + kRequestWait);
    if (status != LineStatus::Line || line != launcher::kServiceRequest) {
        log::Warn("A connection did not ask for a run in time; closed");
        return;
    }
    UniqueFd writeEnd;
    const UniqueFd readEnd = MakeRunOutput(writeEnd);
    Child run;
    const int error =
        readEnd.IsValid()
            ? StartChild(runCommand.front(), runCommand,
                         {.outputFd = writeEnd.Get(), .group = ChildGroup::OwnSession}, run)
            : errno;
    writeEnd.Reset();
    if (error != 0) {
        log::Error("Cannot start an update run: {}", std::strerror(error));
        RefuseRun(client.Get());
        return;
    }
    Relay(client.Get(), readEnd.Get(), run);
    if (!run.Wait(kReapWait)) {
        run.Release();
    }
}

void Accept(int listener, const std::vector<std::string>& runCommand) {
    UniqueFd client(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!client.IsValid()) {
        if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) {
            // Out of descriptors, say: the backlog waits rather than the loop spinning.
            log::Warn("Cannot accept a launcher: {}", std::strerror(errno));
            std::this_thread::sleep_for(kAcceptPause);
        }
        return;
    }
    if (g_connections.fetch_add(1) >= kMaxConnections) {
        g_connections.fetch_sub(1);
        log::Warn("{} connections are served already; one more is closed", kMaxConnections);
        return;
    }
    auto shared = std::make_shared<UniqueFd>(std::move(client));
    const bool started = StartDetachedThread(
        [shared, runCommand] {
            ServeConnection(*shared, runCommand);
            g_connections.fetch_sub(1);
        },
        kRelayStackBytes);
    if (!started) {
        g_connections.fetch_sub(1);
        log::Error("No thread for a connection; closed");
    }
}

}  // namespace

void ServeLaunchers(int listener, const std::vector<std::string>& runCommand) {
    // A launcher that went between the poll and the accept must not hold the loop.
    if (::fcntl(listener, F_SETFL, O_NONBLOCK) != 0) {
        log::Error("Cannot serve on the update service's socket: {}", std::strerror(errno));
        return;
    }
    for (;;) {
        pollfd ready{listener, POLLIN, 0};
        if (::poll(&ready, 1, -1) < 0 && errno != EINTR) {
            log::Error("Cannot wait for launchers: {}", std::strerror(errno));
            return;
        }
        if ((ready.revents & (POLLERR | POLLNVAL)) != 0) {
            log::Error("The update service's socket failed");
            return;
        }
        if ((ready.revents & POLLIN) != 0) {
            Accept(listener, runCommand);
        }
    }
}

}  // namespace zn::seatupdate
