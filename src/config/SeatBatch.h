#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/Ipv4Fields.h"
#include "config/SeatListFile.h"

namespace zn::config {

// Batch add: consecutive addresses of one /24 block get consecutive seat numbers.
struct SeatBatch {
    Ipv4Octets start{};
    Ipv4Octets end{};
    std::int32_t firstSeat = 0;
    std::string prefix;
    std::string suffix;
};

// The size of the range start..end by their last octets; 0 when the end lies below the start.
int BatchCount(const Ipv4Octets& start, const Ipv4Octets& end);

// `other` moved into the /24 block of `changed`: its first three octets, other's last one.
Ipv4Octets InBlockOf(const Ipv4Octets& changed, const Ipv4Octets& other);

// One row per address of the range: the start address with its last octet raised by i, and
// prefix, firstSeat + i, suffix. Seat numbers past the 32-bit range go on counting instead of
// wrapping to negative ones.
std::vector<SeatRow> BatchRows(const SeatBatch& batch);

// An integer field as the framework reads it: optional blanks, a sign, digits, optional blanks,
// within the 32-bit range. nullopt for anything else (then "Please enter an integer.").
std::optional<std::int32_t> ParseInteger(std::string_view text);

}  // namespace zn::config
