#include "update/Manifest.h"

#include "update/DecimalText.h"

namespace zn {

namespace {

constexpr int kMaxPort = 65535;

std::string VersionFileAttribute(const CXmlDocument& document, std::string_view name) {
    return document.SelectSingleNode("descendant::Version_File").GetAttribute(name);
}

}  // namespace

UpdateStamp ReadUpdateStamp(const CXmlDocument& document) {
    const CXmlNode versionFile = document.SelectSingleNode("descendant::Version_File");
    return versionFile ? ParseUpdateStamp(versionFile.GetAttribute("Update")) : 0;
}

std::string ReadContainer(const CXmlDocument& document) {
    return VersionFileAttribute(document, "Container");
}

std::string ReadUserName(const CXmlDocument& document) {
    return VersionFileAttribute(document, "UserName");
}

std::string ReadPassword(const CXmlDocument& document) {
    return VersionFileAttribute(document, "Password");
}

int ReadPort(const CXmlDocument& document, int fallback) {
    const int port = LeadingDecimal(VersionFileAttribute(document, "Port"));
    return port > 0 && port <= kMaxPort ? port : fallback;
}

CXmlNode FindLocalModule(const CXmlDocument& document, std::string_view name) {
    if (name.find('"') != std::string_view::npos) {
        return {};
    }
    std::string query = "descendant::Module[@ModuleName=\"";
    query += name;
    query += "\"]";
    return document.SelectSingleNode(query);
}

bool IsLocalCopyCurrent(const CXmlDocument* local, const CXmlDocument& server) {
    return local != nullptr && ReadUpdateStamp(*local) >= ReadUpdateStamp(server);
}

bool ModuleNeedsDownload(const CXmlNode& serverModule, const CXmlDocument* local) {
    const std::string serverUpdate = serverModule.GetAttribute("Update");
    if (local == nullptr || serverUpdate.empty()) {
        return true;
    }
    const CXmlNode localModule = FindLocalModule(*local, serverModule.GetAttribute("ModuleName"));
    if (!localModule) {
        return true;
    }
    const std::string localUpdate = localModule.GetAttribute("Update");
    const UpdateStamp localStamp =
        localUpdate.empty() ? ReadUpdateStamp(*local) : ParseUpdateStamp(localUpdate);
    return localStamp <= ParseUpdateStamp(serverUpdate);
}

}  // namespace zn
