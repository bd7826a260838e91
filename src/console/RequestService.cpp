#include "console/RequestService.h"

#include <arpa/inet.h>

#include <utility>

#include "console/ListenerNotification.h"
#include "console/LoginState.h"
#include "net/SocketAddress.h"
#include "platform/Log.h"
#include "platform/SoundPlayer.h"
#include "platform/Threads.h"

namespace zn::console {

namespace {

// Pause after a failed accept (for example out of descriptors), so the listener does not spin.
constexpr std::chrono::milliseconds kAcceptRetryPause{20};

}  // namespace

struct RequestService::OpenConnection {
    std::unique_ptr<CTcpSocket> socket;
    CSocketAddress peer;
};

RequestService::RequestService(RequestContext context, RequestServiceLimits limits)
    : m_context(std::move(context)), m_limits(limits) {}

RequestService::~RequestService() {
    Stop();
}

bool RequestService::StartListener(std::uint16_t port) {
    if (m_listenerThread.joinable() || !m_listener.Create(port) ||
        !m_listener.Listen(m_limits.listenBacklog)) {
        return false;
    }
    m_listenerThread = std::thread([this] { Listen(); });
    return true;
}

bool RequestService::StartDiscoveryResponder(std::uint16_t port) {
    return m_discovery.Start(port);
}

std::uint16_t RequestService::ListenerPort() const {
    return ntohs(m_listener.Local().sin_port);
}

std::size_t RequestService::ActiveWorkers() const {
    std::lock_guard lock(m_mutex);
    return m_open.size() + m_bellPlayers + m_listenerThreads;
}

void RequestService::Stop() {
    Stop(std::chrono::steady_clock::time_point::max());
}

bool RequestService::Stop(std::chrono::steady_clock::time_point deadline) {
    m_listener.Close();
    if (m_listenerThread.joinable()) {
        m_listenerThread.join();
    }
    m_discovery.Stop();

    std::unique_lock lock(m_mutex);
    for (const OpenConnection* open : m_open) {
        open->socket->Close();
    }
    const auto allEnded = [this] {
        return m_open.empty() && m_bellPlayers == 0 && m_listenerThreads == 0;
    };
    if (deadline == std::chrono::steady_clock::time_point::max()) {
        m_workersEnded.wait(lock, allEnded);
        return true;
    }
    if (!m_workersEnded.wait_until(lock, deadline, allEnded)) {
        log::Warn(
            "{} request workers, {} sound players and {} listener calls still running at exit",
            m_open.size(), m_bellPlayers, m_listenerThreads);
        return false;
    }
    return true;
}

void RequestService::Listen() {
    while (m_listener.IsValid()) {
        CSocketAddress peer;
        auto connection = m_listener.Accept(&peer);
        if (!connection) {
            if (m_listener.IsValid()) {
                std::this_thread::sleep_for(kAcceptRetryPause);
            }
            continue;
        }
        if (!m_context.login.IsLoggedIn()) {
            log::Info("seat {}: refused, the console is not logged in", peer.Dotted());
            continue;  // the seat sees its greeting fail
        }
        Admit(std::move(connection), peer);
    }
}

void RequestService::Admit(std::unique_ptr<CTcpSocket> connection, const CSocketAddress& peer) {
    const std::uint32_t seat = peer.address.sin_addr.s_addr;
    auto open = std::make_shared<OpenConnection>(OpenConnection{std::move(connection), peer});
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_openPerSeat.find(seat);
        const std::size_t openFromSeat = found == m_openPerSeat.end() ? 0 : found->second;
        if (m_open.size() >= m_limits.maxWorkers) {
            log::Warn("seat {}: refused, {} request connections are open", peer.Dotted(),
                      m_open.size());
            return;  // closed at once
        }
        if (openFromSeat >= m_limits.maxConnectionsPerSeat) {
            log::Warn("seat {}: refused, it holds {} request connections", peer.Dotted(),
                      openFromSeat);
            return;
        }
        m_open.insert(open.get());
        ++m_openPerSeat[seat];
    }
    // A seat that vanished without closing would otherwise hold its worker forever.
    open->socket->SetKeepAlive(m_limits.keepAliveIdle, m_limits.keepAliveInterval,
                               m_limits.keepAliveCount);
    if (!StartDetachedThread([this, open] { RunWorker(open); }, m_limits.workerStackBytes)) {
        log::Error("seat {}: no worker thread could be started", peer.Dotted());
        EndWorker(*open);
    }
}

void RequestService::RunWorker(std::shared_ptr<OpenConnection> open) {
    // A worker sleeps until its seat speaks; then the seat's page should not wait for the
    // browser's or the popup's turn on the processor.
    PreferPromptWakeUps();
    ServeRequestConnection(m_context, *open->socket, open->peer, m_limits.requestFrameCap, *this);
    EndWorker(*open);
}

void RequestService::RingBell() {
    constexpr std::size_t kBellPlayers = 2;
    StartCounted(m_bellPlayers, kBellPlayers, [this] {
        m_context.sound.PlayFileSync(m_context.programFolder / kAlertSoundFileName);
    });
}

void RequestService::TellListeners(std::string request) {
    constexpr std::uint32_t kRequestEventCode = 1;
    if (!AnyListenerListed(m_context.registry)) {
        return;  // the usual counter: no thread for nothing to tell
    }
    auto tell = [this, request = std::move(request)] {
        NotifyListeners(m_context.registry, m_context.windows, request, kRequestEventCode);
    };
    if (!StartCounted(m_listenerThreads, m_limits.maxListenerThreads, tell)) {
        tell();
    }
}

bool RequestService::StartCounted(std::size_t& running, std::size_t limit,
                                  std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        if (running >= limit) {
            return false;
        }
        ++running;
    }
    const auto end = [this, &running] {
        std::lock_guard lock(m_mutex);
        --running;
        // Notified under the lock, as for the workers.
        m_workersEnded.notify_all();
    };
    if (StartDetachedThread(
            [task = std::move(task), end] {
                task();
                end();
            },
            m_limits.workerStackBytes)) {
        return true;
    }
    end();
    return false;
}

void RequestService::EndWorker(const OpenConnection& open) {
    std::lock_guard lock(m_mutex);
    open.socket->Close();
    m_open.erase(&open);
    const std::uint32_t seat = open.peer.address.sin_addr.s_addr;
    if (--m_openPerSeat[seat] == 0) {
        m_openPerSeat.erase(seat);
    }
    // Notified under the lock: once the last worker is gone the service may be destroyed.
    m_workersEnded.notify_all();
}

}  // namespace zn::console
