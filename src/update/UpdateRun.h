#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "update/DeploymentScript.h"
#include "update/HttpDownload.h"
#include "update/ReleaseBudget.h"
#include "update/ReleaseTrust.h"

namespace zn {

enum class UpdateResult : int {
    Current = 1,  // the installed release is current; only the manifest was fetched
    Updated = 0,  // a new release was fetched whole and recorded (and deployed)
    ManifestNotFetched = -1,
    ManifestNotParsed = -2,
    ModuleNotFetched = -3,  // a module failed or was refused; nothing was recorded
    NotInstalled = -4,      // RunConsoleUpgrade only: a file was not copied into place
};

// Progress texts of the launcher, each replacing the one before.
inline constexpr std::string_view kProgressChecking = "正在检查程序更新...请稍候";
inline constexpr std::string_view kProgressNoServer = "无法连接更新服务器...程序更新失败";
inline constexpr std::string_view kProgressBadManifest = "无法解析服务器更新...程序更新失败";
inline constexpr std::string_view kProgressDownloading = "正在下载程序更新...请稍候";
inline constexpr std::string_view kProgressModuleFailed = "无法下载服务器更新文件...程序更新失败";
inline constexpr std::string_view kProgressDeploying = "正在部署程序更新...请稍候";
inline constexpr std::string_view kProgressNotInstalled = "无法安装程序更新...程序更新失败";

using UpdateProgress = std::function<void(std::string_view text)>;

struct HostAndPort {
    std::string host;
    int port = 80;
};

// The launcher's "UpdateServerAddress": "host:port" when a ":" follows the first character (the
// port read from its leading digits, 0 meaning 80); otherwise the whole text is the host, port 80.
HostAndPort SplitLauncherAddress(std::string_view address);

// Where a run fetches from: the host (used as it is) and the update path ending in "/", with the
// bounds of its downloads and of what a release may store.
struct UpdateSite {
    std::string host;
    int port = 80;
    std::string path;
    DownloadTimeouts timeouts;
    // When it verifies, a manifest without a valid signature counts as one that does not parse,
    // and a module file without one as one that was not fetched (the installed file stays).
    ReleaseTrust trust{};
    // The manifest's fetch gives up at this instant at the latest (the launcher's start bound).
    std::chrono::steady_clock::time_point manifestGiveUpAt =
        std::chrono::steady_clock::time_point::max();
    ReleaseLimits limits{};
};

// The console's content update: "ContentUpdate.xml" from site.path on site.port, every module
// that is not strictly newer locally into programFolder/Content (from the manifest's "Port", else
// site.port, with its credentials); only when all arrived is the manifest saved as
// programFolder/ContentUpdate.xml and its deployment script run. The saved bytes are the parsed
// document written by CXmlDocument: UTF-8 without added white space, a declaration kept only when
// the server's had one (its encoding then reads "UTF-8"), comments kept. A module whose
// "ModulePath" or "CopyTo" leaves its folder, or that site.limits refuse, counts as failed. A
// manifest of more than kMaxModules modules counts as one that does not parse (every run).
UpdateResult RunContentUpdate(const UpdateSite& site, const DeploymentContext& deployment);

// The console's version check: true when the server's "Version.xml" was fetched and parsed and the
// local programFolder/Version.xml is missing or older. False otherwise, also on any failure.
bool CheckForNewVersion(const UpdateSite& site, const std::filesystem::path& programFolder);

// The console launcher's upgrade of the console's own release, reporting progress as
// RunLauncherUpdate does: "Version.xml" from the site, its modules into programFolder/Content (from
// the manifest's "Port", else site.port), then each module's file copied to its "CopyTo" in
// programFolder, every target replaced only by a complete copy. The manifest is recorded last, and
// only when every copy succeeded (else NotInstalled: the next run installs the release again).
// A "CopyTo" outside programFolder refuses the release before anything is copied; a module
// without "CopyTo" stays in the content folder.
UpdateResult RunConsoleUpgrade(const UpdateSite& site, const std::filesystem::path& programFolder,
                               const UpdateProgress& progress);

// The launcher's client update from the seat client's "Version.xml", reporting progress. Modules go
// to programFolder/Content from the same host and port; the manifest is saved last as
// programFolder/Version.xml, written as RunContentUpdate writes its manifest. There is no
// deployment script.
UpdateResult RunLauncherUpdate(const UpdateSite& site, const std::filesystem::path& programFolder,
                               const UpdateProgress& progress);
// The same run with the installed release's record kept at `record`: a seat's update service keeps
// it in a folder that only its own account writes.
UpdateResult RunLauncherUpdate(const UpdateSite& site, const std::filesystem::path& programFolder,
                               const std::filesystem::path& record, const UpdateProgress& progress);

}  // namespace zn
