#include "update/ModuleFiles.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "platform/Log.h"
#include "platform/ReplacementFile.h"
#include "platform/UniqueFd.h"

namespace zn {

void CreateFolderFor(const std::filesystem::path& file) {
    if (!file.has_parent_path()) {
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) {
        log::Error("Cannot create the folder {}: {}", file.parent_path().string(), error.message());
    }
}

int CopyFileReplacing(const std::filesystem::path& source,
                      const std::filesystem::path& destination) {
    UniqueFd input(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!input.IsValid() || ::fstat(input.Get(), &info) != 0) {
        return errno;
    }
    auto copy = ReplacementFile::Create(destination);
    if (!copy) {
        return errno;
    }
    for (off_t offset = 0; offset < info.st_size;) {
        const ssize_t sent = ::sendfile(copy->Descriptor(), input.Get(), &offset,
                                        static_cast<std::size_t>(info.st_size - offset));
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return sent < 0 ? errno : EIO;
        }
    }
    return copy->Commit(info.st_mode & 07777);
}

}  // namespace zn
