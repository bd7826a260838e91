#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zn {
class Registry;
}

// The browser's trusted-sites zone: zone-map entries under HKEY_CURRENT_USER, so that the shop's
// pages run their scripts without prompts. Failures are ignored, as nothing is ever shown.
namespace zn::client {

inline constexpr std::string_view kZoneMapDomains =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";
// Value "*" (every protocol) holds the zone number.
inline constexpr std::string_view kAllProtocols = "*";
inline constexpr std::uint32_t kTrustedSitesZone = 2;
// Key paths are formatted into a buffer of 260 characters; a longer path is not registered.
inline constexpr std::size_t kMaxZoneKeyPathBytes = 259;
// A page lists its sites in one value; each pair costs a rewrite of the registry file, so a page
// cannot make the client rewrite it without end.
inline constexpr std::size_t kMaxTrustSitePairs = 64;

struct TrustedSite {
    std::string hostPart;
    std::string domain;
    bool operator==(const TrustedSite&) const = default;
    // The host name the entry stands for: "<hostPart>.<domain>".
    std::string Host() const { return hostPart + "." + domain; }
};

// "Domains\<domain>", "*" = 2. False when the path is too long or the key could not be written.
bool RegisterTrustedDomain(const Registry& registry, std::string_view domain);
// "Domains\<domain>\<hostPart>", "*" = 2.
bool RegisterTrustedHost(const Registry& registry, std::string_view hostPart,
                         std::string_view domain);

// The "TrustSites" page value: tokens separated by runs of "$", read in pairs of host part and
// domain; a token without a partner is dropped, and so is everything past kMaxTrustSitePairs.
std::vector<TrustedSite> ParseTrustSites(std::string_view text);
// Registers every pair of the value; returns those that were registered.
std::vector<TrustedSite> RegisterTrustSites(const Registry& registry, std::string_view text);

}  // namespace zn::client
