#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "common/XmlDocument.h"
#include "update/UpdateStamp.h"

namespace zn {

// Readers of the update manifests ("Version.xml", "ContentUpdate.xml"). They take a loaded
// document and never fail: what they cannot read gives its default.

// The "Update" of the first Version_File element; 0 without one.
UpdateStamp ReadUpdateStamp(const CXmlDocument& document);
// Attributes of the first Version_File element; the empty text when missing.
std::string ReadContainer(const CXmlDocument& document);
std::string ReadUserName(const CXmlDocument& document);
std::string ReadPassword(const CXmlDocument& document);
// The "Port" of the first Version_File element when it begins with a port number (1 to 65535);
// `fallback` otherwise.
int ReadPort(const CXmlDocument& document, int fallback = 80);

// The first Module element whose "ModuleName" equals the name exactly; a null node when there is
// none, and for a name holding a double quote (it cannot be matched).
CXmlNode FindLocalModule(const CXmlDocument& document, std::string_view name);

// The whole local copy is current when its stamp is at least the server's (equal counts).
// A null local document stands for a copy that is missing or did not load.
bool IsLocalCopyCurrent(const CXmlDocument* local, const CXmlDocument& server);

// A server manifest with more Module elements than this is refused whole.
inline constexpr long kMaxModules = 10000;

// The local copy's modules by "ModuleName", read once per run so that each server module is
// matched in constant time. The first module of a name counts, as FindLocalModule finds it.
class LocalModules {
public:
    // A null document stands for a copy that is missing or did not load.
    explicit LocalModules(const CXmlDocument* local);

    // Asked for a server Module element once the whole local copy is not current: download unless
    // the local stamp of that module (its "Update", else the copy's stamp) is strictly newer.
    bool NeedsDownload(const CXmlNode& serverModule) const;

private:
    bool m_present = false;
    UpdateStamp m_copyStamp = 0;
    std::unordered_map<std::string, std::string> m_updates;  // "ModuleName" to "Update"
};

}  // namespace zn
