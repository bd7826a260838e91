#include "config/AlertSound.h"

#include <algorithm>

#include "common/DefaultHosts.h"
#include "platform/Log.h"
#include "platform/SoundPlayer.h"
#include "platform/TextCodec.h"
#include "update/UpdateRun.h"

namespace zn::config {

namespace {

constexpr std::string_view kSoundPagePath = "/9tqa/sounddownload.aspx";
constexpr std::string_view kScheme = "http://";

bool IsPlainPathCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte != 0x7F && c != ':' && c != '?' && c != '#' && c != '\\';
}

bool HasDotSegment(std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view segment = path.substr(start, end - start);
        if (segment == "." || segment == "..") {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// The host and port of "http://host[:port]", as the download takes them.
DownloadSource PartnerSource(std::string_view address) {
    if (address.starts_with(kScheme)) {
        address.remove_prefix(kScheme.size());
    }
    while (address.ends_with('/')) {
        address.remove_suffix(1);
    }
    HostAndPort host = SplitLauncherAddress(address);
    DownloadSource source;
    source.host = std::move(host.host);
    source.port = host.port;
    return source;
}

bool IsPlayableDownload(const std::filesystem::path& downloaded) {
    if (IsPlayableSoundFile(downloaded)) {
        return true;
    }
    log::Error("The downloaded alert sound cannot be played; the old one is kept");
    return false;
}

}  // namespace

SoundPageAction FindSoundPageAction(std::string_view id) {
    return FindPageEvent(kSoundPageEvents, id, SoundPageAction::None);
}

PartnerSite DefaultPartnerSite() {
    return {DefaultHosts::kSoundPartner, {std::chrono::seconds(5), std::chrono::seconds(10)}};
}

std::string SoundPageAddress(const PartnerSite& site) {
    std::string_view host = site.address;
    while (host.ends_with('/')) {
        host.remove_suffix(1);
    }
    return std::string(host) + std::string(kSoundPagePath);
}

std::optional<std::string> SoundObjectPath(std::string_view soundPath) {
    if (soundPath.starts_with('/')) {
        soundPath.remove_prefix(1);
    }
    if (soundPath.empty() || soundPath.starts_with('/') || HasDotSegment(soundPath) ||
        !std::all_of(soundPath.begin(), soundPath.end(), IsPlainPathCharacter)) {
        return std::nullopt;
    }
    std::string object = TextCodec::Utf8ToGbk(soundPath);
    if (object.size() > kMaxSoundPathBytes) {
        return std::nullopt;
    }
    return object;
}

std::size_t DownloadAlertSound(const PartnerSite& site, std::string_view soundPath,
                               const std::filesystem::path& file) {
    auto object = SoundObjectPath(soundPath);
    if (!object) {
        log::Warn("Refused the partner page's sound path \"{}\": not a plain path on its host",
                  log::Printable(soundPath));
        return 0;
    }
    DownloadSource source = PartnerSource(site.address);
    source.objectPath = std::move(*object);
    const std::size_t length =
        DownloadToFile(source, file, site.timeouts, {kMaxAlertSoundBytes, IsPlayableDownload});
    if (length > 0) {
        log::Info("The alert sound {} is now {} ({} bytes)", file.string(),
                  log::Printable(soundPath), length);
    }
    return length;
}

}  // namespace zn::config
