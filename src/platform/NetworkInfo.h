#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zn::NetworkInfo {

// The seat's own address: the first IPv4 address of an interface that is neither loopback nor
// unconfigured (0.0.0.0 or a 0 netmask), dotted. nullopt when there is none.
std::optional<std::string> OwnIpv4Address();
// The network card's hardware address as 12 upper-case hexadecimal digits without separators
// ("0011AABBCCDD"), as the back-office login page expects; nullopt without one. The card is the
// first interface, in the system's order, that is not loopback, has a non-zero 6-byte hardware
// address and whose first IPv4 address is configured (not 0.0.0.0, not loopback).
std::optional<std::string> HardwareAddress();

// The decisions above, over a snapshot of the system's interface table.
struct Ipv4Entry {
    std::string interfaceName;
    unsigned int flags = 0;     // IFF_* of the interface
    std::uint32_t address = 0;  // host byte order
    std::uint32_t netmask = 0;  // host byte order
};
struct LinkEntry {
    std::string interfaceName;
    unsigned int flags = 0;
    std::vector<std::uint8_t> hardwareAddress;
};
std::optional<std::string> ChooseOwnIpv4Address(std::span<const Ipv4Entry> entries);
std::optional<std::string> ChooseHardwareAddress(std::span<const LinkEntry> links,
                                                 std::span<const Ipv4Entry> addresses);

}  // namespace zn::NetworkInfo
