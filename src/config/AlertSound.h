#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/PageEvents.h"
#include "update/HttpDownload.h"

namespace zn::config {

inline constexpr std::string_view kSoundUpdatedMessage = "提示声音更新成功！";
inline constexpr std::string_view kSoundFailedMessage = "提示声音下载失败！";

// Page elements of the partner's sound page.
inline constexpr std::string_view kSoundPathId = "SoundPath";
enum class SoundPageAction { None, Download, Cancel };
inline constexpr std::array<PageEvent<SoundPageAction>, 2> kSoundPageEvents = {{
    {"ButtonSetSound", SoundPageAction::Download},
    {"ButtonCancel", SoundPageAction::Cancel},
}};
SoundPageAction FindSoundPageAction(std::string_view id);

// An alert sound is a few seconds: anything larger is refused before it is written.
inline constexpr std::uint64_t kMaxAlertSoundBytes = 4 * 1024 * 1024;
// The 260-byte buffers of the tool's texts, terminator excluded; counted in code page 936.
inline constexpr std::size_t kMaxSoundPathBytes = 259;

// The partner site that offers the sounds.
struct PartnerSite {
    std::string address;  // "http://host[:port]"
    DownloadTimeouts timeouts;
};
// The built-in partner host, with the update engine's bounds set so that neither a silent nor a
// trickling host holds a download for long: a try ends after 5 s without a connection, 10 s of
// silence, and in any case 15 s after it began plus the announced length at 64 KiB/s (a sound at
// kMaxAlertSoundBytes: 79 s); only a try that got no answer is repeated, three in all.
PartnerSite DefaultPartnerSite();
// The partner's sound page, "/9tqa/sounddownload.aspx" on its host.
std::string SoundPageAddress(const PartnerSite& site);

// The object (code page 936, no leading "/") of a page's "SoundPath" on the partner host: a path,
// maybe with a query after a "?" (the host is the tool's, so a query goes nowhere else). nullopt
// when it is empty, longer than kMaxSoundPathBytes, holds a character outside code page 936, or
// holds a scheme or port (":"), another host (a leading "//"), a fragment, a backslash, a control
// character or a "." or ".." segment.
std::optional<std::string> SoundObjectPath(std::string_view soundPath);

// Fetches the sound at "SoundPath" from the partner host over the alert sound `file`. Only a
// complete body of at most kMaxAlertSoundBytes that the sound player can play replaces it; on
// any failure the old file stays whole. The body length, or 0 on failure (logged).
std::size_t DownloadAlertSound(const PartnerSite& site, std::string_view soundPath,
                               const std::filesystem::path& file);

}  // namespace zn::config
