#pragma once

#include <cstdint>
#include <string_view>

namespace zn {

// The one rule for a port number read from a setting: 0 to 65535 is that number; a larger one
// names no port, so it gives `fallback` (and is logged with the setting's name) instead of being
// cut down to its low 16 bits, which would be some other program's port.
std::uint16_t StoredPort(std::string_view setting, std::uint64_t stored, std::uint16_t fallback);

}  // namespace zn
