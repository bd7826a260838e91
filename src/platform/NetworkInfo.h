#pragma once

#include <optional>
#include <string>

namespace zn::NetworkInfo {

// The seat's own address: the first IPv4 address of an interface that is neither loopback nor
// unconfigured (0.0.0.0 or a 0 netmask), dotted. nullopt when there is none.
std::optional<std::string> OwnIpv4Address();
// The first network card's hardware address as "XX-XX-XX-XX-XX-XX"; nullopt without one.
std::optional<std::string> HardwareAddress();

}  // namespace zn::NetworkInfo
