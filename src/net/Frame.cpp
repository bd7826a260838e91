#include "net/Frame.h"

#include <algorithm>
#include <climits>
#include <new>

#include "net/TcpSocket.h"
#include "platform/TextCodec.h"

namespace zn {
namespace {

constexpr std::size_t kHeaderBytes = 4;
constexpr std::byte kMessageLetter{'X'};

std::span<const std::byte> AsBytes(std::string_view text) {
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

std::vector<std::byte> TextBody(std::string_view text) {
    std::vector<std::byte> body(text.size() + 1, std::byte{0});
    std::ranges::copy(AsBytes(text), body.begin());
    return body;
}

}  // namespace

std::vector<std::byte> EncodeFrame(std::span<const std::byte> body) {
    if (body.size() > UINT32_MAX) {
        return {};
    }
    const auto length = static_cast<std::uint32_t>(body.size());
    std::vector<std::byte> frame;
    frame.reserve(kHeaderBytes + body.size());
    for (std::size_t shift = 0; shift < 32; shift += 8) {
        frame.push_back(static_cast<std::byte>((length >> shift) & 0xFFu));
    }
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

std::vector<std::byte> EncodeTextFrame(std::string_view text) {
    return EncodeFrame(TextBody(text));
}

bool SendFrame(CTcpSocket& socket, std::span<const std::byte> body) {
    if (body.size() > static_cast<std::size_t>(INT_MAX) - kHeaderBytes) {
        return false;
    }
    // One buffer, so the length and the body usually leave in one segment.
    const std::vector<std::byte> frame = EncodeFrame(body);
    const int length = static_cast<int>(frame.size());
    return socket.SendAll(frame.data(), 0, length) == length;
}

bool SendTextFrame(CTcpSocket& socket, std::string_view text) {
    return SendFrame(socket, TextBody(text));
}

std::optional<std::vector<std::byte>> ReceiveFrame(CTcpSocket& socket, std::uint32_t maxLength) {
    unsigned char header[kHeaderBytes] = {};
    if (socket.ReceiveAll(header, 0, static_cast<int>(kHeaderBytes)) !=
        static_cast<int>(kHeaderBytes)) {
        return std::nullopt;
    }
    const std::uint32_t length = header[0] | (std::uint32_t{header[1]} << 8) |
                                 (std::uint32_t{header[2]} << 16) |
                                 (std::uint32_t{header[3]} << 24);
    if (length > maxLength || length > static_cast<std::uint32_t>(INT_MAX)) {
        return std::nullopt;
    }
    std::vector<std::byte> body;
    try {
        body.resize(length);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    const int expected = static_cast<int>(length);
    if (socket.ReceiveAll(body.data(), 0, expected) != expected) {
        return std::nullopt;
    }
    return body;
}

std::string TextUpToNul(std::span<const std::byte> body) {
    const auto end = std::find(body.begin(), body.end(), std::byte{0});
    return {reinterpret_cast<const char*>(body.data()),
            static_cast<std::size_t>(end - body.begin())};
}

std::vector<std::byte> BuildMessageBody(std::string_view utf8Text) {
    std::vector<std::byte> body{kMessageLetter};
    const std::vector<std::byte> text = TextCodec::Utf8ToUtf16Le(utf8Text);
    body.insert(body.end(), text.begin(), text.end());
    body.push_back(std::byte{0});
    body.push_back(std::byte{0});
    return body;
}

std::string MessageBodyText(std::span<const std::byte> body) {
    if (body.empty()) {
        return {};
    }
    // The text starts at offset 1, so its units are unaligned: it is read as byte pairs.
    const std::span<const std::byte> text = body.subspan(1);
    std::size_t end = 0;
    while (end + 1 < text.size() && (text[end] != std::byte{0} || text[end + 1] != std::byte{0})) {
        end += 2;
    }
    return TextCodec::Utf16LeToUtf8(text.first(end));
}

bool IsDiscoveryProbe(std::span<const std::byte> datagram) {
    return std::ranges::equal(datagram, kDiscoveryProbe);
}

}  // namespace zn
