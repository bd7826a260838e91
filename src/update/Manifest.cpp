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

LocalModules::LocalModules(const CXmlDocument* local) : m_present(local != nullptr) {
    if (local == nullptr) {
        return;
    }
    m_copyStamp = ReadUpdateStamp(*local);
    // A module without the attribute is never found by name, not even by the empty name.
    CXmlNodeList modules = local->SelectNodes("descendant::Module[@ModuleName]");
    for (CXmlNode module = modules.NextNode(); module; module = modules.NextNode()) {
        std::string name = module.GetAttribute("ModuleName");
        if (name.find('"') == std::string::npos) {
            m_updates.try_emplace(std::move(name), module.GetAttribute("Update"));
        }
    }
}

bool LocalModules::NeedsDownload(const CXmlNode& serverModule) const {
    const std::string serverUpdate = serverModule.GetAttribute("Update");
    if (!m_present || serverUpdate.empty()) {
        return true;
    }
    const auto local = m_updates.find(serverModule.GetAttribute("ModuleName"));
    if (local == m_updates.end()) {
        return true;
    }
    const UpdateStamp localStamp =
        local->second.empty() ? m_copyStamp : ParseUpdateStamp(local->second);
    return localStamp <= ParseUpdateStamp(serverUpdate);
}

}  // namespace zn
