#include "update/ReleaseTrust.h"

#include "platform/Log.h"

namespace zn {

ReleaseTrust ReleaseTrust::FromSetting(std::string_view text) {
    ReleaseTrust trust;
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return trust;
    }
    trust.m_verifies = true;
    if (auto keys = ParseReleaseKeys(text)) {
        trust.m_keys = std::move(*keys);
    } else {
        log::Error(
            "UpdatePublicKey \"{}\" is not one or two minisign public keys; no release is taken",
            log::Printable(text));
    }
    return trust;
}

}  // namespace zn
