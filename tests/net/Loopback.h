#pragma once

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "WaitFor.h"
#include "net/SocketAddress.h"
#include "net/TcpSocket.h"

namespace zn::test {

inline CSocketAddress Loopback(std::uint16_t port) {
    return CSocketAddress::FromDotted("127.0.0.1", port).value();
}

// A listener on 127.0.0.1 (ephemeral port), a client connected to it and the accepted side.
struct LoopbackConnection {
    explicit LoopbackConnection(std::uint16_t port = 0) {
        EXPECT_TRUE(listener.Create(Loopback(port))) << "cannot bind a loopback listener";
        EXPECT_TRUE(listener.Listen());
        EXPECT_TRUE(client.Create(0));
        const CSocketAddress target = Loopback(ntohs(listener.Local().sin_port));
        EXPECT_TRUE(client.Connect(&target)) << "cannot connect to the loopback listener";
        server = listener.Accept(nullptr);
        EXPECT_NE(server, nullptr) << "cannot accept the loopback connection";
    }
    CTcpSocket listener;
    CTcpSocket client;
    std::unique_ptr<CTcpSocket> server;
};

// Runs a call that is expected to block on another thread. If the call never returns, the thread
// is left behind (detached, owning everything it touches) so that the test fails instead of
// hanging.
class BlockingCall {
public:
    explicit BlockingCall(std::function<void()> call) : m_state(std::make_shared<State>()) {
        m_thread = std::thread([state = m_state, call = std::move(call)] {
            state->threadId.store(static_cast<int>(syscall(SYS_gettid)));
            call();
            state->done.store(true);
        });
    }
    ~BlockingCall() {
        if (m_state->done.load()) {
            m_thread.join();
        } else {
            m_thread.detach();
        }
    }
    BlockingCall(const BlockingCall&) = delete;
    BlockingCall& operator=(const BlockingCall&) = delete;

    // True once the thread sleeps inside the system call numbered `number`.
    bool WaitUntilBlockedIn(long number) const {
        return WaitFor([&] { return CurrentSystemCall() == number; });
    }
    bool WaitUntilDone() const {
        return WaitFor([&] { return m_state->done.load(); });
    }

private:
    struct State {
        std::atomic<int> threadId{0};
        std::atomic<bool> done{false};
    };

    long CurrentSystemCall() const {
        const int id = m_state->threadId.load();
        if (id == 0) {
            return -1;
        }
        std::ifstream in("/proc/self/task/" + std::to_string(id) + "/syscall");
        long number = -1;
        return (in >> number) ? number : -1;
    }

    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

}  // namespace zn::test
