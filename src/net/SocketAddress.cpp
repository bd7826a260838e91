#include "net/SocketAddress.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

namespace zn {

CSocketAddress::CSocketAddress() : length(static_cast<int>(sizeof(sockaddr_in))) {
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
}

std::optional<CSocketAddress> CSocketAddress::FromDotted(std::string_view dotted,
                                                         std::uint16_t port) {
    // inet_pton accepts only the four-part decimal form; a NUL inside would end its text early.
    if (dotted.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    CSocketAddress result;
    const std::string text(dotted);
    if (inet_pton(AF_INET, text.c_str(), &result.address.sin_addr) != 1) {
        return std::nullopt;
    }
    result.SetPort(port);
    return result;
}

CSocketAddress CSocketAddress::FromHostOrder(std::uint32_t hostAddress, std::uint16_t port) {
    CSocketAddress result;
    result.address.sin_addr.s_addr = htonl(hostAddress);
    result.SetPort(port);
    return result;
}

CSocketAddress CSocketAddress::Broadcast(std::uint16_t port) {
    return FromHostOrder(INADDR_BROADCAST, port);
}

std::string CSocketAddress::Dotted() const {
    unsigned char bytes[4];
    std::memcpy(bytes, &address.sin_addr.s_addr, sizeof(bytes));
    char text[16];
    std::snprintf(text, sizeof(text), "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

std::uint16_t CSocketAddress::Port() const {
    return ntohs(address.sin_port);
}

void CSocketAddress::SetPort(std::uint16_t port) {
    address.sin_port = htons(port);
}

}  // namespace zn
