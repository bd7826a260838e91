#include "config/SeatBatch.h"

#include <charconv>

namespace zn::config {

int BatchCount(const Ipv4Octets& start, const Ipv4Octets& end) {
    return end[3] >= start[3] ? end[3] - start[3] + 1 : 0;
}

Ipv4Octets InBlockOf(const Ipv4Octets& changed, const Ipv4Octets& other) {
    return {changed[0], changed[1], changed[2], other[3]};
}

std::vector<SeatRow> BatchRows(const SeatBatch& batch) {
    std::vector<SeatRow> rows;
    const int count = BatchCount(batch.start, batch.end);
    for (int i = 0; i < count; ++i) {
        Ipv4Octets address = batch.start;
        address[3] = static_cast<std::uint8_t>(batch.start[3] + i);
        const std::int64_t seat = std::int64_t{batch.firstSeat} + i;
        rows.push_back({DottedText(address), batch.prefix + std::to_string(seat) + batch.suffix});
    }
    return rows;
}

std::optional<std::int32_t> ParseInteger(std::string_view text) {
    constexpr std::string_view kBlanks = " \t";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('-')) {
            return std::nullopt;
        }
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace zn::config
