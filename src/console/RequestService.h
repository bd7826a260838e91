#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "console/DiscoveryResponder.h"
#include "console/RequestWorker.h"
#include "net/Frame.h"
#include "net/TcpSocket.h"

namespace zn::console {

// Bounds that keep hostile or vanished seats from exhausting the console.
struct RequestServiceLimits {
    std::uint32_t requestFrameCap = kRequestFrameCap;
    // Seats keep a worker waiting from start-up until their next order, so hundreds idle at once.
    std::size_t maxWorkers = 4096;
    std::size_t maxConnectionsPerSeat = 8;
    std::size_t workerStackBytes = 256 * 1024;
    // The Listener windows are told on threads of their own, at most this many at once; a worker
    // that finds none free tells them itself. Each call takes well under a millisecond unless a
    // window hangs, so a few suffice and a burst of orders adds few threads.
    std::size_t maxListenerThreads = 8;
    // Many seats reconnect at once when the console restarts.
    int listenBacklog = 128;
    std::chrono::seconds keepAliveIdle{60};
    std::chrono::seconds keepAliveInterval{10};
    int keepAliveCount = 6;
};

// The console's network front for the seats: the request listener with one worker per
// connection, and the discovery responder. Connections are admitted only while logged in and
// within the limits; anything else is closed at once. Destroying the service closes its
// sockets and waits until every worker and alert has ended.
//
// The alert sound has at most two players: one that plays and one that starts, cutting the first
// off. A request that rings while both are busy is heard in the sound that is starting.
class RequestService : private IRequestAlerts {
public:
    explicit RequestService(RequestContext context, RequestServiceLimits limits = {});
    ~RequestService() override;
    RequestService(const RequestService&) = delete;
    RequestService& operator=(const RequestService&) = delete;

    // Listens on the port (0: any); false when it could not be bound or already listens.
    bool StartListener(std::uint16_t port);
    bool StartDiscoveryResponder(std::uint16_t port);
    std::uint16_t ListenerPort() const;
    std::uint16_t DiscoveryPort() const { return m_discovery.Port(); }

    // Threads at work for the seats: a worker per open connection and the alerts they started.
    std::size_t ActiveWorkers() const;
    // Stops listening, shuts every open request connection and waits for the workers.
    void Stop();
    // The same, waiting for the workers until the deadline only: false when some still run (a
    // worker may be waiting on a window that does not answer). The service must then outlive
    // them: the process ends instead of destroying it.
    bool Stop(std::chrono::steady_clock::time_point deadline);

private:
    struct OpenConnection;

    void Listen();
    void Admit(std::unique_ptr<CTcpSocket> connection, const CSocketAddress& peer);
    void RunWorker(std::shared_ptr<OpenConnection> open);
    void EndWorker(const OpenConnection& open);
    void RingBell() override;
    void TellListeners(std::string request) override;
    // Runs the task on a thread of its own unless `running` is at `limit` (or no thread can be
    // had): false then, and the task was not run. `running` counts the thread until it ends.
    bool StartCounted(std::size_t& running, std::size_t limit, std::function<void()> task);

    const RequestContext m_context;
    const RequestServiceLimits m_limits;

    CTcpSocket m_listener;
    std::thread m_listenerThread;
    DiscoveryResponder m_discovery;

    mutable std::mutex m_mutex;
    std::condition_variable m_workersEnded;
    std::unordered_set<const OpenConnection*> m_open;
    std::unordered_map<std::uint32_t, std::size_t> m_openPerSeat;  // by address, network order
    std::size_t m_bellPlayers = 0;
    std::size_t m_listenerThreads = 0;
};

}  // namespace zn::console
