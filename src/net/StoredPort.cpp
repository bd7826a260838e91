#include "net/StoredPort.h"

#include <limits>

#include "platform/Log.h"

namespace zn {

std::uint16_t StoredPort(std::string_view setting, std::uint64_t stored, std::uint16_t fallback) {
    if (stored <= std::numeric_limits<std::uint16_t>::max()) {
        return static_cast<std::uint16_t>(stored);
    }
    log::Warn("setting {} holds {}, which is no port: {} is used", setting, stored, fallback);
    return fallback;
}

}  // namespace zn
