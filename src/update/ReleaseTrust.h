#pragma once

#include <string_view>
#include <vector>

#include "update/ReleaseSignature.h"

namespace zn {

// The keys that releases must be signed with, from the "UpdatePublicKey" setting. Without a key
// releases are taken unverified, as the programs always took them.
class ReleaseTrust {
public:
    // Unverified.
    ReleaseTrust() = default;

    // The setting's text: empty means unverified; otherwise its one or two keys. A text that is
    // not a key trusts no release at all (logged), so a mistyped key never turns checking off.
    static ReleaseTrust FromSetting(std::string_view text);

    bool Verifies() const { return m_verifies; }
    const std::vector<ReleaseKey>& Keys() const { return m_keys; }

private:
    bool m_verifies = false;
    std::vector<ReleaseKey> m_keys;
};

}  // namespace zn
