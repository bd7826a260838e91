#include "update/ReleaseBudget.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Log.h"

namespace zn {

namespace {

constexpr unsigned kWholePercent = 100;

struct VolumeSpace {
    std::uint64_t available = 0;  // for this process, without the blocks kept for root
    std::uint64_t total = 0;
};

bool ReadVolumeSpace(const std::filesystem::path& folder, VolumeSpace& space) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) {
        return false;
    }
    space.available = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    space.total = static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize;
    return true;
}

}  // namespace

bool ReleaseBudget::Admit(std::uint64_t length, const std::filesystem::path& file) {
    if (length > m_limits.moduleBytes) {
        log::Error("Refused {}: its {} bytes exceed the cap of {} per module",
                   log::Printable(file.string()), length, m_limits.moduleBytes);
        return false;
    }
    if (length > m_limits.releaseBytes - std::min(m_admitted, m_limits.releaseBytes)) {
        log::Error("Refused {}: its {} bytes would take the release past its cap of {} bytes",
                   log::Printable(file.string()), length, m_limits.releaseBytes);
        return false;
    }
    VolumeSpace space;
    if (!ReadVolumeSpace(file.parent_path(), space)) {
        log::Error("Refused {}: the free space of its folder is unknown: {}",
                   log::Printable(file.string()), std::strerror(errno));
        return false;
    }
    const std::uint64_t keep =
        std::min(m_limits.keepFreeBytes,
                 space.total / kWholePercent * std::min(m_limits.keepFreePercent, kWholePercent));
    if (space.available < keep || length > space.available - keep) {
        log::Error("Refused {}: its {} bytes would leave less than {} of {} bytes free",
                   log::Printable(file.string()), length, keep, space.available);
        return false;
    }
    m_admitted += length;
    return true;
}

}  // namespace zn
