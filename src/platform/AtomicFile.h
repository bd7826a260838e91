#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/UniqueFd.h"

namespace zn {

// Writes every byte, going on after interruptions and short writes. False on an error.
bool WriteAll(int fd, std::string_view content);

// The folder that holds `file`: "." for a bare file name.
std::filesystem::path FolderOfFile(const std::filesystem::path& file);

enum class FileReadStatus { Read, Missing, Unusable };

struct CappedFileContent {
    FileReadStatus status;
    std::string bytes;  // empty unless Read
};

// The whole file when it is a readable regular file of at most maxBytes. Missing when neither the
// file nor its folder exists; Unusable for anything else (too big, a folder, unreadable).
CappedFileContent ReadFileCapped(const std::filesystem::path& file, std::size_t maxBytes);

// An exclusive advisory lock (flock) held for the object's lifetime. It serialises threads as well
// as processes, since every Acquire opens its own file description.
class FileLock {
public:
    // Wait for the lock on a lock file (created when missing) or on an existing folder. nullopt
    // when it cannot be opened or locked. A private lock file is created readable by its owner
    // only, so that no other account can open it and hold the lock.
    static std::optional<FileLock> OnFile(const std::filesystem::path& lockFile);
    static std::optional<FileLock> OnPrivateFile(const std::filesystem::path& lockFile);
    static std::optional<FileLock> OnFolder(const std::filesystem::path& folder);

    FileLock(FileLock&&) noexcept = default;
    FileLock& operator=(FileLock&&) = delete;

private:
    explicit FileLock(UniqueFd fd) : m_fd(std::move(fd)) {}
    static std::optional<FileLock> Lock(UniqueFd fd);
    UniqueFd m_fd;  // closing it releases the lock
};

}  // namespace zn
