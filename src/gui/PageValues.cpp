#include "gui/PageValues.h"

#include <cstdint>

#include "platform/Utf8.h"

namespace zn::gui {

bool PageValues::Add(std::string_view id, std::string_view value) {
    if (id.empty() || id.size() > kMaxIdBytes || m_values.size() >= kMaxIds) {
        return false;
    }
    const std::string_view kept = Utf8::Cut(value, kMaxValueBytes);
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
