#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zn::config {

// An address as an IPv4 address control holds it, first octet first.
using Ipv4Octets = std::array<std::uint8_t, 4>;
// Each field of such a control: a number 0 to 255, or blank.
using Ipv4Fields = std::array<std::optional<std::uint8_t>, 4>;

// "%d.%d.%d.%d".
std::string DottedText(const Ipv4Octets& octets);

// The fields that "%d.%d.%d.%d" scans from the text, left to right up to the first that does
// not scan; a field it does not reach, or one outside 0 to 255, stays blank.
Ipv4Fields DottedFields(std::string_view text);

}  // namespace zn::config
