#include "console/SeatFeedback.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <vector>

#include "FakeSeat.h"
#include "LogCapture.h"
#include "Sandbox.h"
#include "WaitFor.h"

namespace zn::console {
namespace {

using test::Bytes;
using zn::test::WaitFor;

CSocketAddress Loopback() {
    return *CSocketAddress::FromDotted("127.0.0.1", 1);
}

TEST(SeatFeedbackTest, APageTravelsAsOneFrameWithItsTerminator) {
    const zn::test::LogCapture log;
    test::FeedbackPort seat;
    ASSERT_TRUE(SendPageToSeat(Loopback(), seat.Port(), Bytes("<p>成功</p>")));
    ASSERT_TRUE(SendPageToSeat(Loopback(), seat.Port(), {}));
    ASSERT_TRUE(WaitFor([&] { return seat.Pages().size() == 2; })) << "pages did not arrive";
    EXPECT_EQ(seat.Pages()[0], Bytes(std::string("<p>成功</p>") + '\0'));
    EXPECT_EQ(seat.Pages()[1], Bytes(std::string(1, '\0')));
    EXPECT_TRUE(log.Contains({"page of 13 bytes to 127.0.0.1", "delivered"}));
}

// A seat that closes without reading (a refusal) was counted as served, and the back office
// marked the order as delivered.
TEST(SeatFeedbackTest, ASeatThatClosesWithoutReadingFailsTheSend) {
    test::SilentSeat seat(test::SilentSeat::Mode::CloseUnread);
    EXPECT_FALSE(SendPageToSeat(Loopback(), seat.Port(), Bytes("<p>成功</p>")));
}

TEST(SeatFeedbackTest, ASeatThatReadsButStaysCountsAsServedAfterTheWait) {
    test::SilentSeat seat(test::SilentSeat::Mode::ReadAndHold);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(SendPageToSeat(Loopback(), seat.Port(), Bytes("<p>成功</p>"),
                               std::chrono::milliseconds(300)));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(250))
        << "the sender did not wait for the seat's close";
}

TEST(SeatFeedbackTest, ASeatThatTakesNoConnectionDoesNotHoldTheSender) {
    const zn::test::LogCapture log;
    // A listener whose queue is full drops further connection attempts, as a vanished seat does.
    CTcpSocket full;
    ASSERT_TRUE(full.Create(*CSocketAddress::FromDotted("127.0.0.1", 0)));
    ASSERT_TRUE(full.Listen(0));
    const auto port = ntohs(full.Local().sin_port);
    // Attempts that never wait fill the queue whatever its exact length.
    std::vector<int> fillers;
    for (int i = 0; i < 8; ++i) {
        fillers.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        const auto target = CSocketAddress::FromDotted("127.0.0.1", port);
        connect(fillers.back(), reinterpret_cast<const sockaddr*>(&target->address),
                sizeof target->address);
    }
    auto sent = std::async(std::launch::async,
                           [port] { return SendPageToSeat(Loopback(), port, Bytes("x")); });
    ASSERT_EQ(sent.wait_for(kSeatConnectTimeout * 4), std::future_status::ready)
        << "the connect was not bounded";
    EXPECT_FALSE(sent.get());
    EXPECT_TRUE(log.Contains({"127.0.0.1:" + std::to_string(port), "not sent"}));
    for (const int filler : fillers) {
        close(filler);
    }
}

TEST(SeatFeedbackTest, PageFilesAreReadWholeAndBounded) {
    zn::test::Sandbox sandbox;
    const auto page = sandbox.WriteFile("RequestReceived.html", std::string("a\0b\r\n", 5));
    EXPECT_EQ(ReadPageFile(page), Bytes(std::string("a\0b\r\n", 5)));
    EXPECT_EQ(ReadPageFile(sandbox.Path() / "missing.html"), std::nullopt);
    EXPECT_EQ(ReadPageFile(sandbox.Path()), std::nullopt) << "a folder is no page";

    const auto huge = sandbox.WriteFile("huge.html", "");
    std::filesystem::resize_file(huge, kPageFrameCap);
    EXPECT_EQ(ReadPageFile(huge), std::nullopt) << "with its NUL it would exceed a page frame";
    std::filesystem::resize_file(huge, kPageFrameCap - 1);
    EXPECT_EQ(ReadPageFile(huge)->size(), kPageFrameCap - 1);
}

}  // namespace
}  // namespace zn::console
