#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zn {

// A relative path from a manifest ("ModulePath", "CopyTo") with "/" as its separator: manifests
// written for Windows seats use backslashes.
std::string ManifestPathText(std::string_view text);

// The file that a manifest's relative path names inside a folder (leading separators do not make
// it absolute); nullopt when it would lie outside: a drive letter, a ".." component, or a
// symbolic link (of the folders on the way or of the file itself) that leads out. Refusals are
// logged with the path.
std::optional<std::filesystem::path> ResolveInsideFolder(const std::filesystem::path& folder,
                                                         std::string_view manifestPath);

}  // namespace zn
