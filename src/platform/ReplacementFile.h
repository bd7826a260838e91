#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace zn {

// Where the new content of `target` lies until it replaces it: ".<name>.part" beside it. One name
// per target, so a writer killed halfway leaves one file, which the next writer takes over.
std::filesystem::path PartialFileOf(const std::filesystem::path& target);

// The new content of a file, written to its partial file and renamed over it only on Commit, so
// the old file stays whole until the new one is complete and flushed. Without a Commit the
// partial file is removed. A writer holds its partial file locked: a second writer of the same
// target waits for the first one to finish. A symbolic link at the target is replaced, never
// followed.
class ReplacementFile {
public:
    // nullopt (with errno set) when the partial file cannot be made; the target's folder must
    // exist.
    static std::optional<ReplacementFile> Create(const std::filesystem::path& target);

    ReplacementFile(ReplacementFile&& other) noexcept;
    ReplacementFile& operator=(ReplacementFile&&) = delete;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile();

    // False (errno set) when the bytes could not all be written.
    bool Write(std::string_view bytes);
    // Gives the file its permission bits, flushes it, renames it over the target and flushes the
    // folder; 0 or the errno value (the target is then unchanged).
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

struct FileReplaceResult {
    enum class Outcome { Replaced, WrittenInPlace, Failed };
    Outcome outcome = Outcome::Failed;
    std::string failure;  // when Failed: the file and why, fit for a log line or a message

    explicit operator bool() const { return outcome != Outcome::Failed; }
};

// Replaces the whole content of `file` through a ReplacementFile, keeping the old file's
// permission bits (a new file gets `newFileMode`): after a power cut it holds the old or the new
// bytes. Where the folder refuses the partial file but `file` itself is writable, the bytes are
// written in place, keeping the old ones until the new ones are whole (they are put back when a
// write fails), and the log says so: a power cut during that write can leave a part. Failures are
// not logged here; the result says which file and why.
FileReplaceResult ReplaceFileSafely(const std::filesystem::path& file, std::string_view content,
                                    mode_t newFileMode = 0644);

// Removes the partial files that killed or interrupted writers left in `folder` and its
// subfolders; those a writer holds now are kept.
void RemoveStalePartialFiles(const std::filesystem::path& folder);

}  // namespace zn
