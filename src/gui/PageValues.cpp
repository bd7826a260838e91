#include "gui/PageValues.h"

#include <cstdint>

namespace zn::gui {

namespace {

// The longest prefix of at most `limit` bytes that does not split a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<std::uint8_t>(text[end]) & 0xC0u) == 0x80u) {
        --end;
    }
    return text.substr(0, end);
}

}  // namespace

bool PageValues::Add(std::string_view id, std::string_view value) {
    if (id.empty() || id.size() > kMaxIdBytes || m_values.size() >= kMaxIds) {
        return false;
    }
    const std::string_view kept = CutUtf8(value, kMaxValueBytes);
    const std::size_t cost = id.size() + kept.size();
    if (m_totalBytes + cost > kMaxTotalBytes || m_values.contains(id)) {
        return false;
    }
    m_values.emplace(std::string(id), std::string(kept));
    m_totalBytes += cost;
    return true;
}

const std::string& PageValues::Get(std::string_view id) const {
    static const std::string empty;
    const auto found = m_values.find(id);
    return found == m_values.end() ? empty : found->second;
}

}  // namespace zn::gui
