#pragma once

#include <string>
#include <string_view>

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

// Asked for a server Module element once the whole local copy is not current: download unless
// the local stamp of that module is strictly newer.
bool ModuleNeedsDownload(const CXmlNode& serverModule, const CXmlDocument* local);

}  // namespace zn
