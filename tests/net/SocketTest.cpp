#include <gtest/gtest.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>

#include "Loopback.h"
#include "WaitFor.h"
#include "net/SocketAddress.h"
#include "net/Sockets.h"
#include "net/TcpSocket.h"
#include "net/UdpSocket.h"

namespace zn {
namespace {

using test::BlockingCall;
using test::Loopback;
using test::LoopbackConnection;
using test::WaitFor;

bool NothingWaiting(const CTcpSocket& socket) {
    char byte = 0;
    return recv(socket.Handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 && errno == EAGAIN;
}

std::uint16_t PortOf(const sockaddr_in& address) {
    return ntohs(address.sin_port);
}

TEST(SocketAddressTest, AcceptsOnlyDottedIpv4Text) {
    const auto address = CSocketAddress::FromDotted("192.168.0.5", 8001);
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(address->Dotted(), "192.168.0.5");
    EXPECT_EQ(address->Port(), 8001);
    EXPECT_EQ(address->address.sin_family, AF_INET);
    EXPECT_EQ(address->length, 16);
    for (const char* text : {"", "1.2.3", "1.2.3.256", "a.b.c.d", " 1.2.3.4", "1.2.3.4 "}) {
        EXPECT_FALSE(CSocketAddress::FromDotted(text, 1).has_value()) << text;
    }
    EXPECT_FALSE(CSocketAddress::FromDotted(std::string_view("1.2.3.4\0x", 9), 1).has_value());
    EXPECT_EQ(CSocketAddress::Broadcast(9000).Dotted(), "255.255.255.255");
}

TEST(SocketsTest, InitSocketsKeepsAWriteToAClosedConnectionFromEndingTheProcess) {
    ASSERT_EQ(InitSockets(), 0);
    struct sigaction current {};
    ASSERT_EQ(sigaction(SIGPIPE, nullptr, &current), 0);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
}

TEST(TcpSocketTest, LengthsOfZeroOrLessTouchNothing) {
    LoopbackConnection connection;
    char buffer[4] = {1, 2, 3, 4};
    EXPECT_EQ(connection.client.SendAll(buffer, 0, 0), 0);
    EXPECT_EQ(connection.client.SendAll(buffer, 0, -5), 0);
    EXPECT_EQ(connection.server->ReceiveAll(buffer, 0, 0), 0);
    EXPECT_EQ(connection.server->ReceiveAll(buffer, 0, -1), 0);
    EXPECT_TRUE(NothingWaiting(*connection.server)) << "a zero-length send put bytes on the wire";
}

TEST(TcpSocketTest, ReceiveAllStopsAtThePeersCloseWithTheCountSoFar) {
    LoopbackConnection connection;
    ASSERT_EQ(connection.client.SendAll("abcdef", 1, 3), 3);
    connection.client.Close();
    std::array<char, 16> buffer{};
    EXPECT_EQ(connection.server->ReceiveAll(buffer.data(), 2, 10), 3);
    EXPECT_EQ(std::string(buffer.data() + 2, 3), "bcd");
    EXPECT_EQ(connection.server->ReceiveAll(buffer.data(), 0, 1), 0);
}

TEST(TcpSocketTest, CreateOnAConnectedSocketClosesTheConnectionFirst) {
    LoopbackConnection connection;
    ASSERT_TRUE(connection.client.Create(0));
    EXPECT_TRUE(connection.client.IsValid());
    sockaddr_in peer{};
    socklen_t length = sizeof(peer);
    EXPECT_NE(getpeername(connection.client.Handle(), reinterpret_cast<sockaddr*>(&peer), &length),
              0)
        << "the recreated socket is still connected";
    char byte = 0;
    EXPECT_EQ(connection.server->ReceiveAll(&byte, 0, 1), 0) << "the old connection stayed open";
}

TEST(TcpSocketTest, ConnectAndAcceptCornerCases) {
    LoopbackConnection connection;
    EXPECT_FALSE(connection.client.Connect(nullptr));

    CTcpSocket second;
    ASSERT_TRUE(second.Create(0));
    const CSocketAddress target = Loopback(PortOf(connection.listener.Local()));
    ASSERT_TRUE(second.Connect(&target));
    CSocketAddress peer;
    peer.length = 0;
    const auto accepted = connection.listener.Accept(&peer);
    ASSERT_NE(accepted, nullptr);
    EXPECT_EQ(peer.Dotted(), "127.0.0.1");
    EXPECT_EQ(peer.Port(), PortOf(second.Local()));
    EXPECT_EQ(peer.length, 16);
    EXPECT_EQ(PortOf(accepted->Local()), PortOf(connection.listener.Local()));

    // The connection accepted without a peer argument works both ways.
    char byte = 'q';
    ASSERT_EQ(connection.server->SendAll(&byte, 0, 1), 1);
    ASSERT_EQ(connection.client.ReceiveAll(&byte, 0, 1), 1);
    ASSERT_EQ(connection.client.SendAll(&byte, 0, 1), 1);
    ASSERT_EQ(connection.server->ReceiveAll(&byte, 0, 1), 1);
    EXPECT_EQ(byte, 'q');
}

TEST(TcpSocketTest, CloseGivesItsResultOnceAndFailuresAreRecordedPerThread) {
    CTcpSocket refused;
    ASSERT_TRUE(refused.Create(Loopback(0)));  // bound, never listening: connects are refused
    CTcpSocket client;
    ASSERT_TRUE(client.Create(0));
    const CSocketAddress target = Loopback(PortOf(refused.Local()));
    EXPECT_FALSE(client.Connect(&target));
    EXPECT_EQ(LastSocketError(), ECONNREFUSED);
    int otherThreadsError = -1;
    std::thread([&] { otherThreadsError = LastSocketError(); }).join();
    EXPECT_EQ(otherThreadsError, 0);

    EXPECT_EQ(client.CloseWithResult(), 0);
    EXPECT_EQ(client.CloseWithResult(), -1);
    EXPECT_EQ(client.Accept(nullptr), nullptr);
    EXPECT_EQ(LastSocketError(), ENOTSOCK);
}

TEST(TcpSocketTest, ARestartedListenerBindsItsPortAgainAtOnce) {
    std::uint16_t port = 0;
    {
        CTcpSocket probe;  // only a listener on a chosen port is prepared for a restart
        ASSERT_TRUE(probe.Create(Loopback(0)));
        port = PortOf(probe.Local());
    }
    {
        LoopbackConnection connection(port);
        // The console ends first, so its side of the connection lingers in TIME_WAIT.
        connection.server->Close();
        char byte = 0;
        ASSERT_EQ(connection.client.ReceiveAll(&byte, 0, 1), 0);
    }
    CTcpSocket restarted;
    ASSERT_TRUE(restarted.Create(Loopback(port))) << "errno " << LastSocketError();
    ASSERT_TRUE(restarted.Listen());

    CTcpSocket rival;
    EXPECT_FALSE(rival.Create(Loopback(port)) && rival.Listen()) << "two listeners share one port";
}

TEST(TcpSocketTest, KeepAliveOptionsTakeEffect) {
    LoopbackConnection connection;
    ASSERT_TRUE(
        connection.server->SetKeepAlive(std::chrono::seconds(60), std::chrono::seconds(10), 3));
    const auto option = [&](int level, int name) {
        int value = -1;
        socklen_t length = sizeof(value);
        getsockopt(connection.server->Handle(), level, name, &value, &length);
        return value;
    };
    EXPECT_EQ(option(SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPIDLE), 60);
    EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPINTVL), 10);
    EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPCNT), 3);
    EXPECT_FALSE(connection.server->SetKeepAlive(std::chrono::seconds(1LL << 40),
                                                 std::chrono::seconds(1), 1));
}

TEST(TcpSocketTest, PeerHasClosedSeesAHalfCloseThatASendWouldMiss) {
    LoopbackConnection connection;
    EXPECT_FALSE(connection.client.PeerHasClosed());

    char byte = 'g';
    ASSERT_EQ(connection.server->SendAll(&byte, 0, 1), 1);
    ASSERT_TRUE(WaitFor([&] { return !NothingWaiting(connection.client); }))
        << "the byte never arrived";
    EXPECT_FALSE(connection.client.PeerHasClosed()) << "pending data counted as a close";
    ASSERT_EQ(connection.client.ReceiveAll(&byte, 0, 1), 1);

    // The console stops sending but keeps reading: the kernel still takes the seat's send.
    ASSERT_EQ(shutdown(connection.server->Handle(), SHUT_WR), 0);
    EXPECT_TRUE(WaitFor([&] { return connection.client.PeerHasClosed(); }))
        << "the peer's FIN was not noticed within 5 s";
    EXPECT_EQ(connection.client.SendAll("O1", 0, 2), 2);
}

TEST(TcpSocketTest, PeerHasClosedSeesAReset) {
    LoopbackConnection connection;
    CTcpSocket client;
    ASSERT_TRUE(client.Create(0));
    const CSocketAddress target = Loopback(PortOf(connection.listener.Local()));
    ASSERT_TRUE(client.Connect(&target));
    // Accepted by hand: a bare close with linger 0 resets, where Close would send a FIN first.
    const int accepted = accept(connection.listener.Handle(), nullptr, nullptr);
    ASSERT_GE(accepted, 0);
    const linger abort{1, 0};
    ASSERT_EQ(setsockopt(accepted, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort)), 0);
    ASSERT_EQ(close(accepted), 0);
    EXPECT_TRUE(WaitFor([&] { return client.PeerHasClosed(); }))
        << "the reset was not noticed within 5 s";
    EXPECT_TRUE(CTcpSocket().PeerHasClosed());
}

TEST(TcpSocketTest, CloseFromAnotherThreadEndsABlockedAccept) {
    auto listener = std::make_shared<CTcpSocket>();
    ASSERT_TRUE(listener->Create(Loopback(0)));
    ASSERT_TRUE(listener->Listen());
    auto accepted = std::make_shared<std::atomic<bool>>(true);
    BlockingCall call(
        [listener, accepted] { accepted->store(listener->Accept(nullptr) != nullptr); });
    ASSERT_TRUE(call.WaitUntilBlockedIn(SYS_accept4)) << "the thread never blocked in accept";
    listener->Close();
    ASSERT_TRUE(call.WaitUntilDone()) << "Close did not end the blocked accept within 5 s";
    EXPECT_FALSE(accepted->load());
}

TEST(TcpSocketTest, CloseFromAnotherThreadEndsABlockedReceive) {
    LoopbackConnection connection;
    std::shared_ptr<CTcpSocket> server(std::move(connection.server));
    auto received = std::make_shared<std::atomic<int>>(-1);
    BlockingCall call([server, received] {
        char buffer[4];
        received->store(server->ReceiveAll(buffer, 0, 4));
    });
    ASSERT_TRUE(call.WaitUntilBlockedIn(SYS_recvfrom)) << "the thread never blocked in recv";
    server->Close();
    ASSERT_TRUE(call.WaitUntilDone()) << "Close did not end the blocked receive within 5 s";
    EXPECT_EQ(received->load(), 0);
}

TEST(UdpSocketTest, CloseFromAnotherThreadEndsABlockedReceiveAsNotASocket) {
    auto socket = std::make_shared<CUdpSocket>();
    ASSERT_TRUE(socket->Create(0));
    auto result = std::make_shared<std::atomic<int>>(0);
    auto error = std::make_shared<std::atomic<int>>(0);
    BlockingCall call([socket, result, error] {
        char buffer[4];
        result->store(socket->ReceiveFrom(buffer, sizeof(buffer), nullptr, nullptr));
        error->store(LastSocketError());
    });
    ASSERT_TRUE(call.WaitUntilBlockedIn(SYS_recvfrom)) << "the thread never blocked in recvfrom";
    socket->Close();
    ASSERT_TRUE(call.WaitUntilDone()) << "Close did not end the blocked recvfrom within 5 s";
    EXPECT_EQ(result->load(), -1);
    EXPECT_EQ(error->load(), ENOTSOCK);

    char buffer[4];
    EXPECT_EQ(socket->ReceiveFrom(buffer, sizeof(buffer), nullptr, nullptr), -1);
    EXPECT_EQ(LastSocketError(), ENOTSOCK);
}

TEST(UdpSocketTest, ADatagramLongerThanTheBufferFailsAndIsDropped) {
    CUdpSocket receiver;
    CUdpSocket sender;
    ASSERT_TRUE(receiver.Create(0));
    ASSERT_TRUE(sender.Create(0));
    const CSocketAddress target = Loopback(PortOf(receiver.Local()));
    const auto* to = reinterpret_cast<const sockaddr*>(&target.address);
    ASSERT_EQ(sender.SendTo("aqt9x", 5, to, sizeof(sockaddr_in)), 5);
    ASSERT_EQ(sender.SendTo("aqt9", 4, to, sizeof(sockaddr_in)), 4);

    std::array<char, 4> buffer{};
    sockaddr_in from{};
    socklen_t fromLength = sizeof(from);
    EXPECT_EQ(
        receiver.ReceiveFrom(buffer.data(), 4, reinterpret_cast<sockaddr*>(&from), &fromLength),
        -1);
    EXPECT_EQ(LastSocketError(), EMSGSIZE);

    fromLength = sizeof(from);
    ASSERT_EQ(
        receiver.ReceiveFrom(buffer.data(), 4, reinterpret_cast<sockaddr*>(&from), &fromLength), 4);
    EXPECT_EQ(std::string(buffer.data(), 4), "aqt9");
    EXPECT_EQ(ntohs(from.sin_port), PortOf(sender.Local()));
}

}  // namespace
}  // namespace zn
