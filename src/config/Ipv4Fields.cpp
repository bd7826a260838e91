#include "config/Ipv4Fields.h"

#include <cctype>
#include <cstdint>

namespace zn::config {
namespace {

// One "%d" conversion: white space, a sign, digits. The position after it, or nullopt.
std::optional<std::size_t> ScanNumber(std::string_view text, std::size_t at, std::int64_t& value) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    const std::size_t digits = at;
    std::int64_t number = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        if (number <= 0xFFFF'FFFF) {  // past any octet already; stop growing
            number = number * 10 + (text[at] - '0');
        }
    }
    if (at == digits) {
        return std::nullopt;
    }
    value = negative ? -number : number;
    return at;
}

}  // namespace

std::string DottedText(const Ipv4Octets& octets) {
    return std::to_string(octets[0]) + '.' + std::to_string(octets[1]) + '.' +
           std::to_string(octets[2]) + '.' + std::to_string(octets[3]);
}

Ipv4Fields DottedFields(std::string_view text) {
    Ipv4Fields fields;
    std::size_t at = 0;
    for (std::size_t field = 0; field < fields.size(); ++field) {
        if (field > 0) {
            if (at >= text.size() || text[at] != '.') {
                break;
            }
            ++at;
        }
        std::int64_t value = 0;
        const auto next = ScanNumber(text, at, value);
        if (!next) {
            break;
        }
        at = *next;
        if (value >= 0 && value <= 255) {
            fields[field] = static_cast<std::uint8_t>(value);
        }
    }
    return fields;
}

}  // namespace zn::config
