#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/TcpSocket.h"

namespace zn::client::test {

struct ReceivedRequest {
    int connection;    // 0 for the first connection accepted
    std::string body;  // the frame's body bytes, NUL included
    bool operator==(const ReceivedRequest&) const = default;
};

inline void PrintTo(const ReceivedRequest& request, std::ostream* out) {
    *out << "{connection " << request.connection << ", \"" << request.body << "\"}";
}

// A console on a loopback (or, in a namespace, any-address) ephemeral port that runs a script on
// each connection it accepts, each on a thread of its own.
class FakeConsole {
public:
    using Script = std::function<void(FakeConsole& console, CTcpSocket& connection, int index)>;

    explicit FakeConsole(Script script, bool anyAddress = false);
    ~FakeConsole();
    FakeConsole(const FakeConsole&) = delete;
    FakeConsole& operator=(const FakeConsole&) = delete;

    std::uint16_t Port() const;
    int Connections() const { return m_connections.load(); }

    // Reads request frames until the connection ends, recording each.
    void RecordRequests(CTcpSocket& connection, int index);
    std::vector<ReceivedRequest> Requests() const;
    // True when `count` requests arrived within a few seconds.
    bool WaitForRequests(std::size_t count) const;

    // Scripts.
    // Like a logged-in console: greets, takes one request, closes.
    static Script GreetAndServeOne(std::string greeting);
    static Script CloseAtOnce();

private:
    void AcceptLoop();

    Script m_script;
    CTcpSocket m_listener;
    std::thread m_acceptor;
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    std::list<std::unique_ptr<CTcpSocket>> m_open;
    std::list<std::thread> m_workers;
    std::vector<ReceivedRequest> m_requests;
};

// Sends "text" + NUL as a frame.
bool SendGreeting(CTcpSocket& connection, std::string_view text);
// Sends a FIN and waits until the peer's kernel has acknowledged it.
bool HalfClose(CTcpSocket& connection);

}  // namespace zn::client::test
