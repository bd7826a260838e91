#include "FakeConsole.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "WaitFor.h"
#include "net/Frame.h"
#include "net/SocketAddress.h"

namespace zn::client::test {

FakeConsole::FakeConsole(Script script, bool anyAddress) : m_script(std::move(script)) {
    const auto local = anyAddress ? CSocketAddress::FromHostOrder(INADDR_ANY, 0)
                                  : *CSocketAddress::FromDotted("127.0.0.1", 0);
    EXPECT_TRUE(m_listener.Create(local) && m_listener.Listen()) << "fake console cannot listen";
    m_acceptor = std::thread([this] { AcceptLoop(); });
}

FakeConsole::~FakeConsole() {
    m_listener.Close();
    m_acceptor.join();
    std::list<std::thread> workers;
    {
        const std::lock_guard lock(m_mutex);
        for (const auto& connection : m_open) {
            connection->Close();
        }
        workers.swap(m_workers);
    }
    for (auto& worker : workers) {
        worker.join();
    }
}

std::uint16_t FakeConsole::Port() const {
    return ntohs(m_listener.Local().sin_port);
}

void FakeConsole::AcceptLoop() {
    while (m_listener.IsValid()) {
        auto connection = m_listener.Accept(nullptr);
        if (!connection) {
            continue;
        }
        const int index = m_connections++;
        const std::lock_guard lock(m_mutex);
        CTcpSocket* socket = connection.get();
        m_open.push_back(std::move(connection));
        m_workers.emplace_back([this, socket, index] { m_script(*this, *socket, index); });
    }
}

void FakeConsole::RecordRequests(CTcpSocket& connection, int index) {
    while (const auto body = ReceiveFrame(connection, kRequestFrameCap)) {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back(
            {index, std::string(reinterpret_cast<const char*>(body->data()), body->size())});
    }
}

std::vector<ReceivedRequest> FakeConsole::Requests() const {
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

bool FakeConsole::WaitForRequests(std::size_t count) const {
    return zn::test::WaitFor([&] { return Requests().size() >= count; });
}

FakeConsole::Script FakeConsole::GreetAndServeOne(std::string greeting) {
    return [greeting](FakeConsole& console, CTcpSocket& connection, int index) {
        SendGreeting(connection, greeting);
        const auto body = ReceiveFrame(connection, kRequestFrameCap);
        if (!body) {
            return;
        }
        // Recorded only once the seat has seen the close, so that a test's next send meets a
        // closed connection.
        HalfClose(connection);
        connection.Close();
        const std::lock_guard lock(console.m_mutex);
        console.m_requests.push_back(
            {index, std::string(reinterpret_cast<const char*>(body->data()), body->size())});
    };
}

FakeConsole::Script FakeConsole::CloseAtOnce() {
    return [](FakeConsole&, CTcpSocket& connection, int) { connection.Close(); };
}

bool SendGreeting(CTcpSocket& connection, std::string_view text) {
    return SendTextFrame(connection, text);
}

bool HalfClose(CTcpSocket& connection) {
    if (shutdown(connection.Handle(), SHUT_WR) != 0) {
        return false;
    }
    return zn::test::WaitFor([&] {
        tcp_info info{};
        socklen_t length = sizeof info;
        return getsockopt(connection.Handle(), IPPROTO_TCP, TCP_INFO, &info, &length) == 0 &&
               info.tcpi_state == TCP_FIN_WAIT2;
    });
}

}  // namespace zn::client::test
