#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "update/HttpDownload.h"
#include "update/ReleaseTrust.h"

namespace zn {

// A ".minisig" file longer than this is refused before it is read.
inline constexpr std::size_t kMaxSignatureBytes = 4 * 1024;

// Checks a manifest fetched from `source` against "<objectPath>.minisig" from the same place.
// True when its signature holds for a trusted key, or when `trust` does not verify (then logged:
// the release is taken unverified). False otherwise (logged): the caller treats the manifest as
// one that does not parse.
bool IsManifestSigned(const DownloadSource& source, std::string_view content,
                      const ReleaseTrust& trust, const DownloadTimeouts& timeouts);

// DownloadToFile, and when `trust` verifies, only with a valid signature: "<objectPath>.minisig"
// is fetched first from the same place with the same credentials (nothing else is fetched
// without one), the file is hashed as it arrives, and it replaces the old file only when the
// signature holds. L on success, 0 on any failure (logged).
std::size_t DownloadSignedFile(const DownloadSource& source, const std::filesystem::path& file,
                               const ReleaseTrust& trust, const DownloadTimeouts& timeouts = {},
                               FileDownloadRules rules = {});

}  // namespace zn
