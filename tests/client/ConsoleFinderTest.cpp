#include "client/ConsoleFinder.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>

#include "FakeConsole.h"
#include "WaitFor.h"

namespace zn::client {
namespace {

using test::FakeConsole;

constexpr std::uint32_t kLoopback = 0x7F000001;

FakeConsole::Script Answer(std::vector<unsigned char> bytes) {
    return [bytes](FakeConsole&, CTcpSocket& connection, int) {
        connection.SendAll(bytes.data(), 0, static_cast<int>(bytes.size()));
        connection.Close();
    };
}

TEST(ConsoleAddressQueryTest, FourBytesInNetworkOrderAreTheConsoleAddress) {
    FakeConsole proxy(Answer({10, 1, 2, 3}));
    EXPECT_EQ(QueryConsoleAddress(kLoopback, proxy.Port(), std::chrono::seconds(5)), 0x0A010203u);
}

TEST(ConsoleAddressQueryTest, ShortZeroOrMissingAnswersFail) {
    FakeConsole shortAnswer(Answer({10, 1, 2}));
    EXPECT_EQ(QueryConsoleAddress(kLoopback, shortAnswer.Port(), std::chrono::seconds(5)),
              std::nullopt);
    FakeConsole zeroAnswer(Answer({0, 0, 0, 0}));
    EXPECT_EQ(QueryConsoleAddress(kLoopback, zeroAnswer.Port(), std::chrono::seconds(5)),
              std::nullopt);
    std::uint16_t closedPort = 0;
    {
        FakeConsole gone(Answer({}));
        closedPort = gone.Port();
    }
    EXPECT_EQ(QueryConsoleAddress(kLoopback, closedPort, std::chrono::seconds(5)), std::nullopt);
}

TEST(ConsoleAddressQueryTest, SilentProxyFailsAtTheLimit) {
    std::atomic<bool> answered{false};
    FakeConsole silent([&](FakeConsole&, CTcpSocket& connection, int) {
        std::array<char, 1> ignored{};
        connection.ReceiveAll(ignored.data(), 0, 1);  // until the seat goes
        answered = true;
    });
    EXPECT_EQ(QueryConsoleAddress(kLoopback, silent.Port(), std::chrono::milliseconds(200)),
              std::nullopt);
    EXPECT_TRUE(zn::test::WaitFor([&] { return answered.load(); }))
        << "the seat kept the proxy connection open after giving up";
}

}  // namespace
}  // namespace zn::client
