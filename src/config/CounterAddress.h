#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zn {
class Registry;
}

namespace zn::config {

// Host names longer than this are refused unlooked-up (the name buffers hold 256 bytes).
inline constexpr std::size_t kMaxHostNameBytes = 255;

// How long the connection to the advertising server and the send of the message may take.
inline constexpr std::chrono::seconds kConfigureLimit{10};

// The local computer's host name; empty when the system gives none.
std::string LocalHostName();

// As the platform's look-up of a name: an empty name is the local computer; with several
// addresses, one at random. IPv4 in host byte order; nullopt when nothing (or only 0.0.0.0) is
// found, or the name is over kMaxHostNameBytes.
std::optional<std::uint32_t> LookUpHost(const std::string& name);

// The counter's address as the advertising server is told it, from the addresses its name gives:
// one at random, loopback ones left out. A name that gives only loopback addresses (a stock
// Debian host name gives 127.0.1.1) is the counter itself, unreachable from the server there: its
// LAN address `lan` stands in. nullopt when that is needed and there is none.
std::optional<std::uint32_t> CounterAddressFor(std::span<const std::uint32_t> addresses,
                                               std::optional<std::uint32_t> lan);

enum class CounterAddressResult {
    Sent,
    ServerNotFound,
    CounterNotFound,
    CounterHasNoLanAddress,
    NotDelivered
};

// Tells the advertising server the counter's address: both names looked up (the server's first),
// then the counter's IPv4 address (CounterAddressFor, with the address of the console's network
// card), 4 bytes first octet first, sent to the server's "ProxyConfigPort" (console settings).
// Connect and send give up after `limit`. Failures are logged.
CounterAddressResult SendCounterAddress(const std::string& server, const std::string& counter,
                                        const Registry& registry,
                                        std::chrono::milliseconds limit = kConfigureLimit);

}  // namespace zn::config
