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

bool IsPlainPathByte(unsigned char byte) {
    return byte >= 0x20 && byte != 0x7F && byte != ':' && byte != '#' && byte != '\\';
}

// Walks code page 936 text by character: a double-byte character's trail byte may be any of
// 0x40 to 0xFE, a backslash among them, and is part of its character, not a byte of its own.
bool HasOnlyPlainCharacters(std::string_view gbk) {
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const auto byte = static_cast<unsigned char>(gbk[i]);
        if (byte >= 0x81 && i + 1 < gbk.size()) {
            ++i;
        } else if (!IsPlainPathByte(byte)) {
            return false;
        }
    }
    return true;
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
    DownloadTimeouts timeouts;
    timeouts.connect = std::chrono::seconds(5);
    timeouts.stall = std::chrono::seconds(10);
    timeouts.base = std::chrono::seconds(15);
    return {DefaultHosts::kSoundPartner, timeouts};
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
    // Checked as it will be asked for. A character that code page 936 lacks becomes a "?" there:
    // such a path cannot be asked for at all.
    std::string object = TextCodec::Utf8ToGbk(soundPath);
    if (std::ranges::count(object, '?') != std::ranges::count(soundPath, '?')) {
        return std::nullopt;
    }
    if (object.empty() || object.size() > kMaxSoundPathBytes || object.starts_with('/') ||
        HasDotSegment(object) || !HasOnlyPlainCharacters(object)) {
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
    const std::size_t query = object->find('?');
    source.objectPath = object->substr(0, query);
    if (query != std::string::npos) {
        source.query = object->substr(query + 1);
    }
    const std::size_t length =
        DownloadToFile(source, file, site.timeouts, {kMaxAlertSoundBytes, IsPlayableDownload});
    if (length > 0) {
        log::Info("The alert sound {} is now {} ({} bytes)", file.string(),
                  log::Printable(soundPath), length);
    }
    return length;
}

}  // namespace zn::config
