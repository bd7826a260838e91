#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zn {

// A host name or dotted address as IPv4 in host byte order; with several addresses, one at
// random. nullopt when it does not resolve or gives only 0.0.0.0. The wait is the system
// resolver's (its time-outs and attempts in resolv.conf).
std::optional<std::uint32_t> ResolveHost(const std::string& host);

}  // namespace zn
