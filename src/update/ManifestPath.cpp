#include "update/ManifestPath.h"

#include <algorithm>
#include <system_error>

#include "platform/Log.h"

namespace zn {

namespace {

// "C:\\x" names another drive on a Windows seat; here it would be a folder called "C:".
bool HasDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool ClimbsOrIsAbsolute(const std::filesystem::path& relative) {
    if (relative.is_absolute() || relative.has_root_path() || HasDriveLetter(relative.native())) {
        return true;
    }
    return std::any_of(relative.begin(), relative.end(),
                       [](const std::filesystem::path& part) { return part == ".."; });
}

// True when `inner` is `outer` or lies below it; both are canonical.
bool IsWithin(const std::filesystem::path& outer, const std::filesystem::path& inner) {
    auto innerPart = inner.begin();
    for (const auto& outerPart : outer) {
        if (outerPart.empty()) {
            continue;  // a trailing separator
        }
        if (innerPart == inner.end() || *innerPart != outerPart) {
            return false;
        }
        ++innerPart;
    }
    return true;
}

}  // namespace

std::string ManifestPathText(std::string_view text) {
    std::string path(text);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::optional<std::filesystem::path> ResolveInsideFolder(const std::filesystem::path& folder,
                                                         std::string_view manifestPath) {
    // Windows seats join "Content\\" and the path by concatenation, so a leading separator
    // still names a file inside.
    std::string text = ManifestPathText(manifestPath);
    text.erase(0, text.find_first_not_of('/'));
    const std::filesystem::path relative(text);
    if (ClimbsOrIsAbsolute(relative)) {
        log::Error("Refused the manifest path \"{}\": it leaves the folder {}", manifestPath,
                   folder.string());
        return std::nullopt;
    }
    const std::filesystem::path file = folder / relative;
    // Resolving links in whatever part exists catches a link that points out of the folder.
    std::error_code error;
    const std::filesystem::path realFolder = std::filesystem::weakly_canonical(folder, error);
    const std::filesystem::path realFile =
        error ? std::filesystem::path() : std::filesystem::weakly_canonical(file, error);
    if (error || !IsWithin(realFolder, realFile)) {
        log::Error("Refused the manifest path \"{}\": it leads out of the folder {}", manifestPath,
                   folder.string());
        return std::nullopt;
    }
    return file;
}

}  // namespace zn
