#include "net/Frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Loopback.h"
#include "net/TcpSocket.h"

namespace zn {
namespace {

using test::LoopbackConnection;

std::vector<std::byte> Bytes(std::initializer_list<int> values) {
    std::vector<std::byte> bytes;
    for (const int value : values) {
        bytes.push_back(static_cast<std::byte>(value));
    }
    return bytes;
}

std::vector<std::byte> Bytes(std::string_view text) {
    std::vector<std::byte> bytes(text.size());
    std::memcpy(bytes.data(), text.data(), text.size());
    return bytes;
}

void SendRaw(CTcpSocket& socket, const std::vector<std::byte>& bytes) {
    const int length = static_cast<int>(bytes.size());
    ASSERT_EQ(socket.SendAll(bytes.data(), 0, length), length);
}

TEST(FrameTest, GreetingTravelsAsTheDocumentedBytes) {
    const std::string greeting = "&cid_murvel=12&seat=A1";
    const std::vector<std::byte> frame = EncodeTextFrame(greeting);
    ASSERT_EQ(frame.size(), 27u);
    EXPECT_EQ(std::vector(frame.begin(), frame.begin() + 4), Bytes({0x17, 0, 0, 0}));
    EXPECT_EQ(std::vector(frame.begin() + 4, frame.end() - 1), Bytes(greeting));
    EXPECT_EQ(frame.back(), std::byte{0});

    LoopbackConnection connection;
    ASSERT_TRUE(SendTextFrame(*connection.server, greeting));
    const auto body = ReceiveFrame(connection.client, kRequestFrameCap);
    ASSERT_TRUE(body.has_value());
    EXPECT_EQ(body->size(), 23u);
    EXPECT_EQ(TextUpToNul(*body), greeting);
}

TEST(FrameTest, MessageTravelsAsTheDocumentedBytes) {
    EXPECT_EQ(EncodeFrame(BuildMessageBody("hi")),
              Bytes({0x07, 0, 0, 0, 0x58, 0x68, 0, 0x69, 0, 0, 0}));
    EXPECT_EQ(MessageBodyText(BuildMessageBody("hi")), "hi");
    EXPECT_EQ(MessageBodyText(BuildMessageBody("请来一瓶水")), "请来一瓶水");
    EXPECT_EQ(BuildMessageBody("请来一瓶水").size(), 2u * 5 + 3);
}

TEST(FrameTest, MessageTextIsBoundedByItsZeroOrTheBody) {
    EXPECT_EQ(MessageBodyText(Bytes({'X', 'h', 0, 'i', 0})), "hi") << "no terminating zero";
    EXPECT_EQ(MessageBodyText(Bytes({'X', 'h', 0, 'i', 0, 'j'})), "hi") << "odd trailing byte";
    EXPECT_EQ(MessageBodyText(Bytes({'X', 'h', 0, 0, 0, 'i', 0})), "h") << "text after the zero";
    EXPECT_EQ(MessageBodyText(Bytes({'X'})), "");
    EXPECT_EQ(MessageBodyText({}), "");
}

TEST(FrameTest, TextEndsAtTheFirstNulOrTheBody) {
    EXPECT_EQ(TextUpToNul(Bytes(std::string_view("ab\0cd", 5))), "ab");
    EXPECT_EQ(TextUpToNul(Bytes("abc")), "abc");
    EXPECT_EQ(TextUpToNul({}), "");
}

TEST(FrameTest, EmptyAndConsecutiveFramesArriveInOrder) {
    LoopbackConnection connection;
    ASSERT_TRUE(SendFrame(*connection.server, {}));
    ASSERT_TRUE(SendTextFrame(*connection.server, "<p>成功</p>"));
    ASSERT_TRUE(SendTextFrame(*connection.server, "second"));

    const auto empty = ReceiveFrame(connection.client, kPageFrameCap);
    ASSERT_TRUE(empty.has_value()) << "a frame of length 0 failed";
    EXPECT_TRUE(empty->empty());
    const auto first = ReceiveFrame(connection.client, kPageFrameCap);
    const auto second = ReceiveFrame(connection.client, kPageFrameCap);
    ASSERT_TRUE(first.has_value() && second.has_value());
    EXPECT_EQ(TextUpToNul(*first), "<p>成功</p>");
    EXPECT_EQ(TextUpToNul(*second), "second");
}

TEST(FrameTest, ALengthOverTheCapFailsAndNothingMoreIsRead) {
    LoopbackConnection connection;
    SendRaw(*connection.server, Bytes({8, 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}));
    SendRaw(*connection.server, Bytes({9, 0, 0, 0, 'r', 'e', 's', 't'}));

    const auto atCap = ReceiveFrame(connection.client, 8);
    ASSERT_TRUE(atCap.has_value()) << "a frame exactly at the cap was refused";
    EXPECT_EQ(*atCap, Bytes("abcdefgh"));
    EXPECT_FALSE(ReceiveFrame(connection.client, 8).has_value());
    char rest[4];
    ASSERT_EQ(connection.client.ReceiveAll(rest, 0, 4), 4);
    EXPECT_EQ(std::string(rest, 4), "rest") << "the refused frame's body was consumed";
}

TEST(FrameTest, AHugeLengthFailsWithoutAllocatingIt) {
    LoopbackConnection connection;
    SendRaw(*connection.server, Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(ReceiveFrame(connection.client, UINT32_MAX).has_value());
}

TEST(FrameTest, AFrameCutShortFails) {
    {
        LoopbackConnection connection;
        SendRaw(*connection.server, Bytes({10, 0, 0, 0, 'a', 'b', 'c', 'd', 'e'}));
        connection.server->Close();
        EXPECT_FALSE(ReceiveFrame(connection.client, kRequestFrameCap).has_value()) << "short body";
    }
    {
        LoopbackConnection connection;
        SendRaw(*connection.server, Bytes({10, 0}));
        connection.server->Close();
        EXPECT_FALSE(ReceiveFrame(connection.client, kRequestFrameCap).has_value())
            << "short length";
    }
}

TEST(FrameTest, SendingOnAClosedSocketFails) {
    CTcpSocket closed;
    EXPECT_FALSE(SendTextFrame(closed, "O123"));
}

TEST(FrameTest, OnlyTheExactProbeIsAProbe) {
    EXPECT_TRUE(IsDiscoveryProbe(kDiscoveryProbe));
    for (std::size_t position = 0; position < kDiscoveryProbe.size(); ++position) {
        for (int value = 0; value < 256; ++value) {
            auto variation = kDiscoveryProbe;
            variation[position] = static_cast<std::byte>(value);
            EXPECT_EQ(IsDiscoveryProbe(variation), variation == kDiscoveryProbe)
                << "byte " << position << " = " << value;
        }
    }
    std::vector<std::byte> longer(kDiscoveryProbe.begin(), kDiscoveryProbe.end());
    longer.push_back(std::byte{0});
    EXPECT_FALSE(IsDiscoveryProbe(longer));
    EXPECT_FALSE(IsDiscoveryProbe(std::span(kDiscoveryProbe).first(3)));
    EXPECT_FALSE(IsDiscoveryProbe({}));
}

}  // namespace
}  // namespace zn
