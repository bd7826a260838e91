#include "gui/PageOrigin.h"

#include <algorithm>
#include <system_error>

namespace zn::gui {
namespace {

bool IsWeb(const QUrl& url) {
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

bool SameOrigin(const QUrl& page, const QUrl& address) {
    const int defaultPort = page.scheme() == QLatin1String("https") ? 443 : 80;
    return IsWeb(page) && page.scheme() == address.scheme() && !page.host().isEmpty() &&
           page.host().compare(address.host(), Qt::CaseInsensitive) == 0 &&
           page.port(defaultPort) == address.port(defaultPort);
}

bool InDomain(const QUrl& page, const QString& domain) {
    const QString host = page.host().toLower();
    const QString wanted = domain.toLower();
    return IsWeb(page) && !wanted.isEmpty() &&
           (host == wanted || host.endsWith(QLatin1Char('.') + wanted));
}

bool InFolder(const QUrl& page, const std::filesystem::path& folder) {
    if (!page.isLocalFile()) {
        return false;
    }
    std::error_code fileError;
    std::error_code rootError;
    const auto file =
        std::filesystem::weakly_canonical(page.toLocalFile().toStdString(), fileError);
    const auto root = std::filesystem::weakly_canonical(folder, rootError);
    if (fileError || rootError || root.empty()) {
        return false;
    }
    const auto [rootEnd, fileAt] =
        std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    return rootEnd == root.end() && fileAt != file.end();
}

}  // namespace

bool IsAllowedOrigin(const PageOrigins& origins, const QUrl& url) {
    return std::ranges::any_of(origins.addresses,
                               [&](const std::string& address) {
                                   return SameOrigin(url, QUrl(QString::fromStdString(address)));
                               }) ||
           std::ranges::any_of(origins.domains,
                               [&](const std::string& domain) {
                                   return InDomain(url, QString::fromStdString(domain));
                               }) ||
           std::ranges::any_of(origins.folders, [&](const std::filesystem::path& folder) {
               return InFolder(url, folder);
           });
}

}  // namespace zn::gui
