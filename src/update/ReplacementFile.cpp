#include "update/ReplacementFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/AtomicFile.h"

namespace zn {

namespace {

constexpr mode_t kDataFileMode = 0644;
constexpr mode_t kProgramFileMode = 0755;

bool LooksLikeProgram(std::string_view firstBytes) {
    return firstBytes.starts_with(
               "\x7f"
               "ELF") ||
           firstBytes.starts_with("#!");
}

}  // namespace

std::optional<ReplacementFile> ReplacementFile::Create(const std::filesystem::path& target) {
    std::string pattern = (target.parent_path() / ("." + target.filename().string())).string();
    pattern += ".part-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    return ReplacementFile(UniqueFd(fd), pattern, target);
}

ReplacementFile::ReplacementFile(UniqueFd fd, std::filesystem::path temporary,
                                 std::filesystem::path target)
    : m_fd(std::move(fd)), m_temporary(std::move(temporary)), m_target(std::move(target)) {}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : m_fd(std::move(other.m_fd)),
      m_temporary(std::exchange(other.m_temporary, {})),
      m_target(std::move(other.m_target)) {}

ReplacementFile::~ReplacementFile() {
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
    }
}

bool ReplacementFile::Write(std::string_view bytes) {
    return WriteAll(m_fd.Get(), bytes);
}

int ReplacementFile::Commit(mode_t mode) {
    if (::fchmod(m_fd.Get(), mode) != 0) {
        return errno;
    }
    m_fd.Reset();
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        return errno;
    }
    m_temporary.clear();
    return 0;
}

mode_t ReplacementMode(const std::filesystem::path& target, std::string_view firstBytes) {
    struct stat current {};
    if (::stat(target.c_str(), &current) == 0 && S_ISREG(current.st_mode)) {
        return current.st_mode & 07777;
    }
    return LooksLikeProgram(firstBytes) ? kProgramFileMode : kDataFileMode;
}

}  // namespace zn
