#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/UniqueFd.h"

namespace zn {

// The new content of a file, written to a temporary file beside it and renamed over it only on
// Commit, so the old file stays whole until the new one is complete. Without a Commit the
// temporary file is removed. A symbolic link at the target is replaced, never followed.
class ReplacementFile {
public:
    // nullopt (with errno set) when the temporary file cannot be made; the target's folder must
    // exist.
    static std::optional<ReplacementFile> Create(const std::filesystem::path& target);

    ReplacementFile(ReplacementFile&& other) noexcept;
    ReplacementFile& operator=(ReplacementFile&&) = delete;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile();

    // False (errno set) when the bytes could not all be written.
    bool Write(std::string_view bytes);
    // Gives the file its permission bits and renames it over the target; 0 or the errno value.
    int Commit(mode_t mode);

    int Descriptor() const { return m_fd.Get(); }
    // Where the new content lies until Commit.
    const std::filesystem::path& TemporaryPath() const { return m_temporary; }

private:
    ReplacementFile(UniqueFd fd, std::filesystem::path temporary, std::filesystem::path target);

    UniqueFd m_fd;
    std::filesystem::path m_temporary;  // empty once renamed or handed on
    std::filesystem::path m_target;
};

// Permission bits for a file that replaces `target`: those of the file there now, else rw-r--r--,
// with the execute bits when the content starts like a program (Windows runs any downloaded
// program; here it needs the bits).
mode_t ReplacementMode(const std::filesystem::path& target, std::string_view firstBytes);

}  // namespace zn
