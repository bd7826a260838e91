#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zn {

// An IPv4 endpoint, filled by callers as the programs always have: family, port and address in
// network byte order, trailing bytes zero.
class CSocketAddress {
public:
    CSocketAddress();
    virtual ~CSocketAddress() = default;
    CSocketAddress(const CSocketAddress&) = default;
    CSocketAddress& operator=(const CSocketAddress&) = default;

    // nullopt when the text is not a dotted IPv4 address.
    static std::optional<CSocketAddress> FromDotted(std::string_view dotted, std::uint16_t port);
    static CSocketAddress FromHostOrder(std::uint32_t address, std::uint16_t port);
    static CSocketAddress Broadcast(std::uint16_t port);

    std::string Dotted() const;  // "%d.%d.%d.%d"
    std::uint16_t Port() const;
    void SetPort(std::uint16_t port);

    sockaddr_in address;
    int length;  // always sizeof(sockaddr_in) after construction
};

}  // namespace zn
