#include "console/PageEvents.h"

namespace zn::console {

std::string PageValueMap::Value(std::string_view id) const {
    const auto found = m_values.find(id);
    return found == m_values.end() ? std::string() : found->second;
}

PageAction FindPageAction(std::string_view id) {
    return FindPageEvent(kPageEventTable, id, PageAction::None);
}

bool CapturesBody(PageAction action) {
    return action == PageAction::CommitSuccess;
}

}  // namespace zn::console
