#include "client/TrustedSites.h"

#include <algorithm>

#include "platform/Registry.h"

namespace zn::client {
namespace {

bool RegisterZoneKey(const Registry& registry, const std::string& path) {
    if (path.size() > kMaxZoneKeyPathBytes) {
        return false;
    }
    const auto key = registry.CreateKey(RegistryRoot::CurrentUser, path);
    return key && key->SetDword(kAllProtocols, kTrustedSitesZone);
}

std::string DomainPath(std::string_view domain) {
    std::string path(kZoneMapDomains);
    path += '\\';
    path += domain;
    return path;
}

}  // namespace

bool RegisterTrustedDomain(const Registry& registry, std::string_view domain) {
    return RegisterZoneKey(registry, DomainPath(domain));
}

bool RegisterTrustedHost(const Registry& registry, std::string_view hostPart,
                         std::string_view domain) {
    std::string path = DomainPath(domain);
    path += '\\';
    path += hostPart;
    return RegisterZoneKey(registry, path);
}

std::vector<TrustedSite> ParseTrustSites(std::string_view text) {
    std::vector<TrustedSite> sites;
    std::vector<std::string_view> pending;
    std::size_t at = 0;
    while (at < text.size() && sites.size() < kMaxTrustSitePairs) {
        const std::size_t end = std::min(text.find('$', at), text.size());
        if (end > at) {
            pending.push_back(text.substr(at, end - at));
            if (pending.size() == 2) {
                sites.push_back({std::string(pending[0]), std::string(pending[1])});
                pending.clear();
            }
        }
        at = end + 1;
    }
    return sites;
}

std::vector<TrustedSite> RegisterTrustSites(const Registry& registry, std::string_view text) {
    std::vector<TrustedSite> registered;
    for (TrustedSite& site : ParseTrustSites(text)) {
        if (RegisterTrustedHost(registry, site.hostPart, site.domain)) {
            registered.push_back(std::move(site));
        }
    }
    return registered;
}

}  // namespace zn::client
