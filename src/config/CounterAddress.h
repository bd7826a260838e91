#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
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

enum class CounterAddressResult { Sent, ServerNotFound, CounterNotFound, NotDelivered };

// Tells the advertising server the counter's address: both names looked up (the server's first),
// then the counter's IPv4 address, 4 bytes first octet first, sent to the server's
// "ProxyConfigPort" (console settings). Connect and send give up after `limit`. Failures are
// logged.
CounterAddressResult SendCounterAddress(const std::string& server, const std::string& counter,
                                        const Registry& registry,
                                        std::chrono::milliseconds limit = kConfigureLimit);

}  // namespace zn::config
