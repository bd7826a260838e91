#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "net/TcpSocket.h"

namespace zn::fuzz {

// A private folder for one fuzzer process, removed at exit.
const std::filesystem::path& ScratchFolder();

// The input's bytes cut at separator bytes into at most `parts` pieces (the last takes the rest).
std::vector<std::string_view> SplitInput(std::span<const std::uint8_t> input, char separator,
                                         std::size_t parts);

// One loopback connection per input: the near end has sent the input and ended its sending, so
// the far end reads it as a peer would and then sees the stream end.
struct DeliveredInput {
    std::unique_ptr<CTcpSocket> nearEnd;
    std::unique_ptr<CTcpSocket> farEnd;
    CSocketAddress farPeer;
};
// nullptr sockets when loopback failed (which aborts the fuzzer: no input would be tested).
DeliveredInput DeliverOverLoopback(CTcpSocket& listener, std::span<const std::uint8_t> input);
// Sends the input over a new connection to 127.0.0.1:port, ends the sending and waits until the
// server has closed its side.
void SendToServerAndWait(std::uint16_t port, std::span<const std::uint8_t> input);

}  // namespace zn::fuzz
