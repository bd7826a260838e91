#include "console/DiscoveryResponder.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>

#include "NetNamespace.h"
#include "net/Frame.h"

namespace zn::console {
namespace {

// A seat's probing socket, broadcast enabled.
class ProbeSocket {
public:
    ProbeSocket() : m_fd(socket(AF_INET, SOCK_DGRAM, 0)) {
        const int on = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    ~ProbeSocket() { close(m_fd); }

    bool Broadcast(std::span<const std::byte> datagram, std::uint16_t port) const {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(port);
        target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        return sendto(m_fd, datagram.data(), datagram.size(), 0,
                      reinterpret_cast<const sockaddr*>(&target),
                      sizeof target) == static_cast<ssize_t>(datagram.size());
    }
    // The next datagram within the time, at most 16 bytes; -1 when none came.
    int Receive(std::array<std::byte, 16>& buffer, int timeoutMs) const {
        pollfd fd{m_fd, POLLIN, 0};
        if (poll(&fd, 1, timeoutMs) != 1) {
            return -1;
        }
        return static_cast<int>(recv(m_fd, buffer.data(), buffer.size(), 0));
    }

private:
    int m_fd;
};

TEST(DiscoveryResponderTest, AnswersExactlyTheProbeAndNothingElse) {
    ZN_RUN_INSIDE_NETWORK_NAMESPACE();
    DiscoveryResponder responder;
    ASSERT_TRUE(responder.Start(0));
    const std::uint16_t port = responder.Port();

    ProbeSocket wrong;
    auto longer = std::vector<std::byte>(kDiscoveryProbe.begin(), kDiscoveryProbe.end());
    longer.push_back(std::byte{0});
    ASSERT_TRUE(wrong.Broadcast(longer, port));
    for (std::size_t i = 0; i < kDiscoveryProbe.size(); ++i) {
        auto changed = kDiscoveryProbe;
        changed[i] ^= std::byte{1};
        ASSERT_TRUE(wrong.Broadcast(changed, port));
    }
    ASSERT_TRUE(wrong.Broadcast(std::span(kDiscoveryProbe).first(3), port));

    // The responder handles datagrams in order, so once the probe after them is answered the
    // wrong ones have been seen and must have gone unanswered.
    ProbeSocket right;
    ASSERT_TRUE(right.Broadcast(kDiscoveryProbe, port));
    std::array<std::byte, 16> reply{};
    ASSERT_EQ(right.Receive(reply, 5000), 4) << "the probe was not answered";
    EXPECT_TRUE(std::equal(kDiscoveryProbe.begin(), kDiscoveryProbe.end(), reply.begin()));
    EXPECT_EQ(wrong.Receive(reply, 0), -1) << "a wrong probe was answered";
    EXPECT_EQ(right.Receive(reply, 0), -1) << "one probe, one answer";

    responder.Stop();
    ASSERT_TRUE(right.Broadcast(kDiscoveryProbe, port));
    EXPECT_EQ(right.Receive(reply, 200), -1) << "answered after it was stopped";
}

}  // namespace
}  // namespace zn::console
