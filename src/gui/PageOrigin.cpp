#include "gui/PageOrigin.h"

#include <libpsl.h>

#include <algorithm>
#include <system_error>

namespace zn::gui {
namespace {

bool IsWeb(const QUrl& url) {
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

int DefaultPort(const QUrl& url) {
    return url.scheme() == QLatin1String("https") ? 443 : 80;
}

// The host in its ASCII form (IDNA), as the suffix list and a comparison want it.
QString AsciiHost(const QUrl& url) {
    return url.host(QUrl::EncodeUnicode).toLower();
}

bool HostInDomain(const QString& host, const QString& domain) {
    return !domain.isEmpty() && (host == domain || host.endsWith(QLatin1Char('.') + domain));
}

// Empty for an address (numbers and dots, or IPv6) and for a host that is itself a public suffix
// or has none, such as a one-label LAN name.
QString RegistrableDomain(const QString& host) {
    const QString lastLabel = host.section(QLatin1Char('.'), -1);
    bool numeric = false;
    lastLabel.toUInt(&numeric);
    if (host.isEmpty() || host.contains(QLatin1Char(':')) || numeric) {
        return {};
    }
    // The newest list: the system's file when it is newer than the one built into the library.
    static const psl_ctx_t* const suffixes = psl_latest(nullptr);
    const QByteArray ascii = host.toLatin1();
    const char* domain = psl_registrable_domain(suffixes, ascii.constData());
    return domain == nullptr ? QString() : QString::fromLatin1(domain);
}

// The same host under http or https, at the same port or at each scheme's default port.
bool SameSiteHost(const QUrl& page, const QUrl& address) {
    const bool bothDefault = page.port(DefaultPort(page)) == DefaultPort(page) &&
                             address.port(DefaultPort(address)) == DefaultPort(address);
    return !page.host().isEmpty() && AsciiHost(page) == AsciiHost(address) &&
           (bothDefault || page.port(DefaultPort(page)) == address.port(DefaultPort(address)));
}

bool InSite(const QUrl& page, const QUrl& address) {
    return IsWeb(page) && IsWeb(address) &&
           (SameSiteHost(page, address) ||
            HostInDomain(AsciiHost(page), RegistrableDomain(AsciiHost(address))));
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
           std::ranges::any_of(
               origins.folders,
               [&](const std::filesystem::path& folder) { return InFolder(url, folder); }) ||
           std::ranges::any_of(origins.sites, [&](const std::string& address) {
               return InSite(url, QUrl(QString::fromStdString(address)));
           });
}

QString OriginOf(const QUrl& url) {
    if (url.isLocalFile()) {
        return QStringLiteral("file:");
    }
    if (url.host().isEmpty()) {
        return {};
    }
    return url.scheme() + QStringLiteral("://") + AsciiHost(url) + QLatin1Char(':') +
           QString::number(url.port(DefaultPort(url)));
}

}  // namespace zn::gui
