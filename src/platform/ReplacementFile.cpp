#include "platform/ReplacementFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/Log.h"

namespace zn {

namespace {

constexpr mode_t kDataFileMode = 0644;
constexpr mode_t kProgramFileMode = 0755;
constexpr mode_t kPartialFileMode = 0600;
// A partial file that someone else made or linked is removed and made anew, a few times at most.
constexpr int kOpenTries = 4;
// A writer that holds the partial file's lock only to find its name gone on lost it to another
// writer of the same file, which finished a write meanwhile; it tries again, this often at most.
constexpr int kContendedTries = 10000;
// The old bytes a write in place keeps in memory; settings files are far smaller.
constexpr std::size_t kMaxInPlaceBytes = 16 * 1024 * 1024;
// Bounds the walk of a folder for partial files.
constexpr std::size_t kMaxSweptEntries = 200000;
constexpr std::string_view kPartialSuffix = ".part";
// Earlier releases named partial files ".<name>.part-XXXXXX".
constexpr std::string_view kOldPartialInfix = ".part-";

bool LooksLikeProgram(std::string_view firstBytes) {
    return firstBytes.starts_with(
               "\x7f"
               "ELF") ||
           firstBytes.starts_with("#!");
}

bool LockFile(int fd, int how) {
    while (::flock(fd, how) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `fd` is still what `path` names: a writer that renamed it or a sweeper that removed it
// while we waited for the lock leaves us a file nobody will rename.
bool StillNamedBy(int fd, const std::filesystem::path& path, struct stat& info) {
    struct stat named {};
    return ::fstat(fd, &info) == 0 && ::lstat(path.c_str(), &named) == 0 && SameFile(info, named);
}

// Only our own private regular file may receive the new bytes; anything else there (a link, a
// file someone else planted or linked) is removed.
bool IsOurPartialFile(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1 &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

void FlushFolder(const std::filesystem::path& file) {
    UniqueFd folder(::open(FolderOfFile(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Some file systems cannot flush a folder; the rename is then as durable as they make it.
    if (folder.IsValid() && ::fsync(folder.Get()) != 0 && errno != EINVAL) {
        log::Warn("Cannot flush the folder of {}: {}", file.string(), std::strerror(errno));
    }
}

bool IsPartialFileName(const std::string& name) {
    return name.starts_with('.') &&
           (name.ends_with(kPartialSuffix) || name.find(kOldPartialInfix) != std::string::npos);
}

std::string Failure(const std::filesystem::path& file, std::string_view why, int error) {
    return file.string() + ": " + std::string(why) + " (" + std::strerror(error) + ")";
}

bool WriteAt(int fd, std::string_view bytes) {
    return ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, bytes) &&
           ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0;
}

FileReplaceResult WriteInPlace(const std::filesystem::path& file, std::string_view content,
                               int folderError) {
    UniqueFd fd(::open(file.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    if (!fd.IsValid()) {
        return {FileReplaceResult::Outcome::Failed,
                Failure(file, "its folder refuses a new file and the file cannot be written",
                        folderError)};
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uintmax_t>(info.st_size) > kMaxInPlaceBytes) {
        return {FileReplaceResult::Outcome::Failed,
                Failure(file, "its folder refuses a new file and it is no small regular file",
                        folderError)};
    }
    std::string old(static_cast<std::size_t>(info.st_size), '\0');
    if (::pread(fd.Get(), old.data(), old.size(), 0) != static_cast<ssize_t>(old.size())) {
        return {FileReplaceResult::Outcome::Failed,
                Failure(file, "its folder refuses a new file and it cannot be read", errno)};
    }
    log::Warn(
        "Writing {} in place: its folder refuses a new file ({}); a power cut now can leave "
        "it part written",
        file.string(), std::strerror(folderError));
    if (!WriteAt(fd.Get(), content)) {
        const int error = errno;
        const bool restored = WriteAt(fd.Get(), old);
        return {FileReplaceResult::Outcome::Failed,
                Failure(file,
                        restored ? "cannot write it in place; the old content was put back"
                                 : "cannot write it in place, nor put the old content back",
                        error)};
    }
    return {FileReplaceResult::Outcome::WrittenInPlace, {}};
}

}  // namespace

std::filesystem::path PartialFileOf(const std::filesystem::path& target) {
    return FolderOfFile(target) / ("." + target.filename().string() + std::string(kPartialSuffix));
}

std::optional<ReplacementFile> ReplacementFile::Create(const std::filesystem::path& target) {
    const std::filesystem::path partial = PartialFileOf(target);
    int foreign = 0;
    int contended = 0;
    while (foreign < kOpenTries && contended < kContendedTries) {
        UniqueFd fd(::open(partial.c_str(),
                           O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
                           kPartialFileMode));
        if (!fd.IsValid()) {
            if (errno != ELOOP) {
                return std::nullopt;
            }
            ::unlink(partial.c_str());
            ++foreign;
            continue;
        }
        struct stat info {};
        if (!LockFile(fd.Get(), LOCK_EX)) {
            return std::nullopt;
        }
        if (!StillNamedBy(fd.Get(), partial, info)) {
            ++contended;
            continue;
        }
        if (!IsOurPartialFile(info)) {
            ::unlink(partial.c_str());
            ++foreign;
            continue;
        }
        if (::ftruncate(fd.Get(), 0) != 0) {
            return std::nullopt;
        }
        return ReplacementFile(std::move(fd), partial, target);
    }
    errno = EEXIST;
    return std::nullopt;
}

ReplacementFile::ReplacementFile(UniqueFd fd, std::filesystem::path temporary,
                                 std::filesystem::path target)
    : m_fd(std::move(fd)), m_temporary(std::move(temporary)), m_target(std::move(target)) {}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : m_fd(std::move(other.m_fd)),
      m_temporary(std::exchange(other.m_temporary, {})),
      m_target(std::move(other.m_target)) {}

ReplacementFile::~ReplacementFile() {
    // Removed while still locked, so a waiting writer never takes over a file being removed.
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
    }
}

bool ReplacementFile::Write(std::string_view bytes) {
    return WriteAll(m_fd.Get(), bytes);
}

int ReplacementFile::Commit(mode_t mode) {
    if (::fchmod(m_fd.Get(), mode) != 0 || ::fsync(m_fd.Get()) != 0) {
        return errno;
    }
    // Renamed before the lock goes, so a waiting writer finds the name gone instead of truncating
    // what is now the target.
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        return errno;
    }
    m_temporary.clear();
    m_fd.Reset();
    FlushFolder(m_target);
    return 0;
}

mode_t ReplacementMode(const std::filesystem::path& target, std::string_view firstBytes) {
    struct stat current {};
    if (::stat(target.c_str(), &current) == 0 && S_ISREG(current.st_mode)) {
        return current.st_mode & 07777;
    }
    return LooksLikeProgram(firstBytes) ? kProgramFileMode : kDataFileMode;
}

FileReplaceResult ReplaceFileSafely(const std::filesystem::path& file, std::string_view content,
                                    mode_t newFileMode) {
    auto replacement = ReplacementFile::Create(file);
    if (!replacement) {
        const int error = errno;
        if (error == EACCES || error == EPERM) {
            return WriteInPlace(file, content, error);
        }
        return {FileReplaceResult::Outcome::Failed,
                Failure(file, "cannot make a temporary file beside it", error)};
    }
    if (!replacement->Write(content)) {
        return {FileReplaceResult::Outcome::Failed, Failure(file, "cannot write it", errno)};
    }
    struct stat old {};
    const mode_t mode = ::stat(file.c_str(), &old) == 0 ? (old.st_mode & 07777) : newFileMode;
    if (const int error = replacement->Commit(mode); error != 0) {
        // A partial file left from before can exist where no new one may be made.
        if (error == EACCES || error == EPERM) {
            return WriteInPlace(file, content, error);
        }
        return {FileReplaceResult::Outcome::Failed, Failure(file, "cannot put it in place", error)};
    }
    return {FileReplaceResult::Outcome::Replaced, {}};
}

void RemoveStalePartialFiles(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::recursive_directory_iterator it(
        folder, std::filesystem::directory_options::skip_permission_denied, error);
    std::size_t visited = 0;
    for (const std::filesystem::recursive_directory_iterator end; !error && it != end;
         it.increment(error)) {
        if (++visited > kMaxSweptEntries) {
            log::Warn("Stopped looking for partial files in {} after {} entries", folder.string(),
                      kMaxSweptEntries);
            return;
        }
        const std::filesystem::path path = it->path();
        if (!IsPartialFileName(path.filename().string())) {
            continue;
        }
        UniqueFd fd(
            ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat info {};
        if (fd.IsValid() && LockFile(fd.Get(), LOCK_EX | LOCK_NB) &&
            StillNamedBy(fd.Get(), path, info) && S_ISREG(info.st_mode)) {
            ::unlink(path.c_str());
        }
    }
}

}  // namespace zn
