#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/UniqueFd.h"

namespace zn {

namespace {

constexpr mode_t kNewFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;

}  // namespace

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::filesystem::path FolderOfFile(const std::filesystem::path& file) {
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

CappedFileContent ReadFileCapped(const std::filesystem::path& file, std::size_t maxBytes) {
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.IsValid()) {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        return {missing ? FileReadStatus::Missing : FileReadStatus::Unusable, {}};
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        return {FileReadStatus::Unusable, {}};
    }
    std::string bytes;
    char buffer[16384];
    while (true) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return {FileReadStatus::Unusable, {}};
        }
        if (got == 0) {
            break;
        }
        // The size can change after fstat when another writer does not replace atomically.
        if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) {
            return {FileReadStatus::Unusable, {}};
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return {FileReadStatus::Read, std::move(bytes)};
}

std::optional<FileLock> FileLock::OnFile(const std::filesystem::path& lockFile) {
    return Lock(UniqueFd(::open(lockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, kNewFileMode)));
}

std::optional<FileLock> FileLock::OnPrivateFile(const std::filesystem::path& lockFile) {
    return Lock(UniqueFd(
        ::open(lockFile.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR)));
}

std::optional<FileLock> FileLock::OnFolder(const std::filesystem::path& folder) {
    return Lock(UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
}

std::optional<FileLock> FileLock::Lock(UniqueFd fd) {
    if (!fd.IsValid()) {
        return std::nullopt;
    }
    while (::flock(fd.Get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return std::nullopt;
        }
    }
    return FileLock(std::move(fd));
}

}  // namespace zn
