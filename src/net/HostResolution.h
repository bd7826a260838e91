#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zn {

// A host name or dotted address as IPv4 in host byte order; with several addresses, one at
// random. nullopt when it does not resolve or gives only 0.0.0.0. The wait is the system
// resolver's (its time-outs and attempts in resolv.conf).
std::optional<std::uint32_t> ResolveHost(const std::string& host);

// Every IPv4 address of a host name or dotted address, in host byte order, 0.0.0.0 left out;
// empty when it does not resolve. The same wait as ResolveHost.
std::vector<std::uint32_t> ResolveHostAddresses(const std::string& host);

// One of the addresses at random; nullopt when there is none.
std::optional<std::uint32_t> AnyOf(std::span<const std::uint32_t> addresses);

}  // namespace zn
