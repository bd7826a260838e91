#pragma once

#include <filesystem>

namespace zn {

// Creates every missing folder above the file (directly: no path ever reaches a command line).
// A bare file name needs none. Failures are logged.
void CreateFolderFor(const std::filesystem::path& file);

// Copies source over destination; the destination is replaced only by a complete copy. 0 or the
// errno value.
int CopyFileReplacing(const std::filesystem::path& source,
                      const std::filesystem::path& destination);

}  // namespace zn
