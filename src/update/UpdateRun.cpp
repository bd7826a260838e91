#include "update/UpdateRun.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "common/XmlDocument.h"
#include "platform/Log.h"
#include "platform/ReplacementFile.h"
#include "update/DecimalText.h"
#include "update/Manifest.h"
#include "update/ManifestPath.h"
#include "update/ModuleFiles.h"
#include "update/SignedDownload.h"

namespace zn {

namespace {

constexpr int kDefaultPort = 80;
constexpr std::string_view kContentManifest = "ContentUpdate.xml";
constexpr std::string_view kVersionManifest = "Version.xml";

struct ServerManifest {
    std::unique_ptr<CXmlDocument> document;  // null when the run ends with `failure`
    UpdateResult failure = UpdateResult::ManifestNotFetched;
};

ServerManifest FetchManifest(const UpdateSite& site, std::string_view name) {
    DownloadSource source;
    source.host = site.host;
    source.port = site.port;
    source.objectPath = site.path + std::string(name);
    DownloadTimeouts timeouts = site.timeouts;
    timeouts.giveUpAt = std::min(timeouts.giveUpAt, site.manifestGiveUpAt);
    std::string text;
    const std::size_t length = DownloadToMemory(source, std::string_view("\0", 1), text, timeouts);
    if (length < 1) {
        return {nullptr, UpdateResult::ManifestNotFetched};
    }
    if (!IsManifestSigned(source, std::string_view(text).substr(0, length), site.trust,
                          site.timeouts)) {
        return {nullptr, UpdateResult::ManifestNotParsed};
    }
    auto document = std::make_unique<CXmlDocument>();
    const int loaded = document->LoadXml(std::string_view(text).substr(0, length));
    if (loaded != CXmlDocument::kLoaded) {
        log::Error("The server's {} from {} does not parse ({})", name, site.host, loaded);
        return {nullptr, UpdateResult::ManifestNotParsed};
    }
    if (const long modules = document->SelectNodes("descendant::Module").Length();
        modules > kMaxModules) {
        log::Error("Refused the server's {} from {}: {} modules, at most {}", name, site.host,
                   modules, kMaxModules);
        return {nullptr, UpdateResult::ManifestNotParsed};
    }
    return {std::move(document), UpdateResult::Updated};
}

// The local copy, or null when it is missing or does not load.
std::unique_ptr<CXmlDocument> LoadLocalCopy(const std::filesystem::path& file) {
    auto document = std::make_unique<CXmlDocument>();
    return document->Load(file) == CXmlDocument::kLoaded ? std::move(document) : nullptr;
}

// Fetches every module that is not strictly newer locally; false when one failed or was refused.
// All are tried, so one failure does not keep the others from arriving.
bool FetchModules(const CXmlDocument& server, const CXmlDocument* local, DownloadSource source,
                  const UpdateSite& site, const std::filesystem::path& programFolder) {
    const std::string remoteFolder = site.path + ReadContainer(server);
    const LocalModules localModules(local);
    ReleaseBudget budget(site.limits);
    bool allFetched = true;
    CXmlNodeList modules = server.SelectNodes("descendant::Module");
    for (long i = 0; i < modules.Length(); ++i) {
        const CXmlNode module = modules.Item(i);
        if (!localModules.NeedsDownload(module)) {
            continue;
        }
        const std::string modulePath = module.GetAttribute("ModulePath");
        const auto localFile = ResolveInsideFolder(programFolder / "Content", modulePath);
        if (!localFile) {
            allFetched = false;
            continue;
        }
        CreateFolderFor(*localFile);
        source.objectPath = remoteFolder + ManifestPathText(modulePath);
        FileDownloadRules rules;
        rules.admit = [&budget, &localFile](std::uint64_t length) {
            return budget.Admit(length, *localFile);
        };
        if (DownloadSignedFile(source, *localFile, site.trust, site.timeouts, rules) == 0) {
            allFetched = false;
        }
    }
    return allFetched;
}

// A release whose script would copy a module out of the program folder is not taken at all.
bool CopyTargetsStayInside(const CXmlDocument& server, const std::filesystem::path& programFolder) {
    bool inside = true;
    CXmlNodeList modules = server.SelectNodes("descendant::Module");
    for (long i = 0; i < modules.Length(); ++i) {
        inside =
            ResolveInsideFolder(programFolder, modules.Item(i).GetAttribute("CopyTo")) && inside;
    }
    return inside;
}

DownloadSource ModuleSource(const CXmlDocument& server, const std::string& host, int port) {
    DownloadSource source;
    source.host = host;
    source.port = port;
    source.userName = ReadUserName(server);
    source.password = ReadPassword(server);
    return source;
}

bool SaveLocalCopy(const CXmlDocument& server, const std::filesystem::path& file) {
    if (!server.Save(file)) {
        log::Error("Cannot record the new release in {}; the next run fetches it again",
                   file.string());
        return false;
    }
    return true;
}

void Show(const UpdateProgress& progress, std::string_view text) {
    if (progress) {
        progress(text);
    }
}

// What a release run does between fetching its modules and recording it; false: not recorded.
using Installation = std::function<bool(const CXmlDocument& server)>;

// The launchers' run on "Version.xml": the steps and texts of RunLauncherUpdate, with the modules
// fetched from `modulePort` and `install` before the release is recorded at `localFile`.
UpdateResult RunReleaseUpdate(const UpdateSite& site, const std::filesystem::path& programFolder,
                              const std::filesystem::path& localFile,
                              const UpdateProgress& progress,
                              const std::function<int(const CXmlDocument&)>& modulePort,
                              const Installation& install) {
    // What runs ended by Esc, a console exit or a kill left behind.
    RemoveStalePartialFiles(programFolder);
    Show(progress, kProgressChecking);
    const ServerManifest server = FetchManifest(site, kVersionManifest);
    if (!server.document) {
        Show(progress, server.failure == UpdateResult::ManifestNotFetched ? kProgressNoServer
                                                                          : kProgressBadManifest);
        return server.failure;
    }
    const auto local = LoadLocalCopy(localFile);
    if (IsLocalCopyCurrent(local.get(), *server.document)) {
        return UpdateResult::Current;
    }
    Show(progress, kProgressDownloading);
    const DownloadSource source =
        ModuleSource(*server.document, site.host, modulePort(*server.document));
    if (!FetchModules(*server.document, local.get(), source, site, programFolder)) {
        Show(progress, kProgressModuleFailed);
        return UpdateResult::ModuleNotFetched;
    }
    Show(progress, kProgressDeploying);
    if (install && !install(*server.document)) {
        Show(progress, kProgressNotInstalled);
        return UpdateResult::NotInstalled;
    }
    if (!SaveLocalCopy(*server.document, localFile)) {
        Show(progress, kProgressNotInstalled);
        return UpdateResult::ModuleNotFetched;
    }
    return UpdateResult::Updated;
}

// Copies every module that names a "CopyTo" from the content folder into place; all are tried.
bool InstallModules(const CXmlDocument& server, const std::filesystem::path& programFolder) {
    if (!CopyTargetsStayInside(server, programFolder)) {
        return false;
    }
    bool installed = true;
    CXmlNodeList modules = server.SelectNodes("descendant::Module");
    for (long i = 0; i < modules.Length(); ++i) {
        const CXmlNode module = modules.Item(i);
        const std::string copyTo = module.GetAttribute("CopyTo");
        if (copyTo.empty()) {
            continue;
        }
        const auto source =
            ResolveInsideFolder(programFolder / "Content", module.GetAttribute("ModulePath"));
        const auto target = ResolveInsideFolder(programFolder, copyTo);
        if (!source || !target) {
            installed = false;
            continue;
        }
        CreateFolderFor(*target);
        if (const int error = CopyFileReplacing(*source, *target); error != 0) {
            log::Error("Cannot install {} as {}: {}", source->string(), target->string(),
                       std::strerror(error));
            installed = false;
        }
    }
    return installed;
}

}  // namespace

HostAndPort SplitLauncherAddress(std::string_view address) {
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return {std::string(address), kDefaultPort};
    }
    const int port = LeadingDecimal(address.substr(colon + 1));
    return {std::string(address.substr(0, colon)), port == 0 ? kDefaultPort : port};
}

UpdateResult RunContentUpdate(const UpdateSite& site, const DeploymentContext& deployment) {
    RemoveStalePartialFiles(deployment.programFolder);
    const ServerManifest server = FetchManifest(site, kContentManifest);
    if (!server.document) {
        return server.failure;
    }
    const std::filesystem::path localFile = deployment.programFolder / kContentManifest;
    const auto local = LoadLocalCopy(localFile);
    if (IsLocalCopyCurrent(local.get(), *server.document)) {
        return UpdateResult::Current;
    }
    const bool fetched = FetchModules(
        *server.document, local.get(),
        ModuleSource(*server.document, site.host, ReadPort(*server.document, site.port)), site,
        deployment.programFolder);
    const bool inside = CopyTargetsStayInside(*server.document, deployment.programFolder);
    if (!fetched || !inside || !SaveLocalCopy(*server.document, localFile)) {
        return UpdateResult::ModuleNotFetched;
    }
    RunDeploymentScript(localFile, deployment);
    log::Info("Content update: a new release was fetched and deployed");
    return UpdateResult::Updated;
}

bool CheckForNewVersion(const UpdateSite& site, const std::filesystem::path& programFolder) {
    const ServerManifest server = FetchManifest(site, kVersionManifest);
    if (!server.document) {
        return false;
    }
    const auto local = LoadLocalCopy(programFolder / kVersionManifest);
    return !IsLocalCopyCurrent(local.get(), *server.document);
}

UpdateResult RunLauncherUpdate(const UpdateSite& site, const std::filesystem::path& programFolder,
                               const UpdateProgress& progress) {
    return RunLauncherUpdate(site, programFolder, programFolder / kVersionManifest, progress);
}

UpdateResult RunLauncherUpdate(const UpdateSite& site, const std::filesystem::path& programFolder,
                               const std::filesystem::path& record,
                               const UpdateProgress& progress) {
    const UpdateResult result =
        RunReleaseUpdate(site, programFolder, record, progress,
                         [&site](const CXmlDocument&) { return site.port; }, {});
    if (result == UpdateResult::Updated) {
        log::Info("Client update: a new release was fetched");
    }
    return result;
}

UpdateResult RunConsoleUpgrade(const UpdateSite& site, const std::filesystem::path& programFolder,
                               const UpdateProgress& progress) {
    const UpdateResult result = RunReleaseUpdate(
        site, programFolder, programFolder / kVersionManifest, progress,
        [&site](const CXmlDocument& server) { return ReadPort(server, site.port); },
        [&programFolder](const CXmlDocument& server) {
            return InstallModules(server, programFolder);
        });
    if (result == UpdateResult::Updated) {
        log::Info("Console upgrade: a new release was fetched and installed");
    }
    return result;
}

}  // namespace zn
