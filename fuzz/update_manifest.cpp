// The update manifests as a run reads them: a local copy and a server manifest of any content, the
// header readers, the whole-copy decision and each module's decision, which must agree with the
// look-up by "ModuleName" that the one-pass index replaced.
// Input: the local copy, a NUL, the server manifest.

#include <cstdint>

#include "FuzzSupport.h"
#include "update/Manifest.h"

namespace {

constexpr long kMaxModulesAsked = 2000;

// The decision as each module's own look-up in the local copy makes it.
bool NeedsDownloadByLookUp(const zn::CXmlNode& serverModule, const zn::CXmlDocument* local) {
    const std::string serverUpdate = serverModule.GetAttribute("Update");
    if (local == nullptr || serverUpdate.empty()) {
        return true;
    }
    const auto localModule = zn::FindLocalModule(*local, serverModule.GetAttribute("ModuleName"));
    if (!localModule) {
        return true;
    }
    const std::string localUpdate = localModule.GetAttribute("Update");
    const zn::UpdateStamp localStamp =
        localUpdate.empty() ? zn::ReadUpdateStamp(*local) : zn::ParseUpdateStamp(localUpdate);
    return localStamp <= zn::ParseUpdateStamp(serverUpdate);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = zn::fuzz::SplitInput({data, size}, '\0', 2);
    zn::CXmlDocument localDocument;
    const zn::CXmlDocument* local =
        localDocument.LoadXml(parts[0]) == zn::CXmlDocument::kLoaded ? &localDocument : nullptr;
    zn::CXmlDocument server;
    if (server.LoadXml(parts[1]) != zn::CXmlDocument::kLoaded) {
        return 0;
    }
    zn::ReadContainer(server);
    zn::ReadUserName(server);
    zn::ReadPassword(server);
    const int port = zn::ReadPort(server);
    if (port < 1 || port > 65535) {
        __builtin_trap();
    }
    if (zn::IsLocalCopyCurrent(local, server)) {
        return 0;
    }
    const zn::LocalModules localModules(local);
    zn::CXmlNodeList modules = server.SelectNodes("descendant::Module");
    for (long i = 0; i < modules.Length() && i < kMaxModulesAsked; ++i) {
        const zn::CXmlNode module = modules.Item(i);
        if (localModules.NeedsDownload(module) != NeedsDownloadByLookUp(module, local)) {
            __builtin_trap();
        }
    }
    return 0;
}
