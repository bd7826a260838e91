#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

class CTcpSocket;

// Frames: a 4-byte little-endian length, then that many body bytes. Text bodies carry their NUL.
// Receivers refuse lengths over their cap: such a frame fails like a short one.
inline constexpr std::uint32_t kRequestFrameCap = 64 * 1024;      // greeting and seat request
inline constexpr std::uint32_t kPageFrameCap = 16 * 1024 * 1024;  // pages pushed to a seat

// Empty when the body is too long for a 4-byte length.
std::vector<std::byte> EncodeFrame(std::span<const std::byte> body);
// The text's bytes as given, plus one NUL.
std::vector<std::byte> EncodeTextFrame(std::string_view text);

// True only when the length and the whole body were accepted.
bool SendFrame(CTcpSocket& socket, std::span<const std::byte> body);
bool SendTextFrame(CTcpSocket& socket, std::string_view text);
// nullopt when the length or the body did not arrive completely or the length is over the cap.
std::optional<std::vector<std::byte>> ReceiveFrame(CTcpSocket& socket, std::uint32_t maxLength);

// A body's text up to its first NUL, or all of it when there is none.
std::string TextUpToNul(std::span<const std::byte> body);

// The customer message body: 'X', the text in UTF-16LE, a 2-byte zero.
std::vector<std::byte> BuildMessageBody(std::string_view utf8Text);
// The text of a message body (after the 'X'), up to its 2-byte zero or the body's end.
std::string MessageBodyText(std::span<const std::byte> body);

inline constexpr std::array<std::byte, 4> kDiscoveryProbe = {std::byte{0x61}, std::byte{0x71},
                                                             std::byte{0x74}, std::byte{0x39}};
bool IsDiscoveryProbe(std::span<const std::byte> datagram);

}  // namespace zn
