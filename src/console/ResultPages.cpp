#include "console/ResultPages.h"

#include <algorithm>

namespace zn::console {

void ResultPages::Keep(const std::string& transactionId, std::string page) {
    m_last = page;
    if (transactionId.empty()) {
        return;
    }
    const auto same = std::find_if(m_pages.begin(), m_pages.end(),
                                   [&](const auto& kept) { return kept.first == transactionId; });
    if (same != m_pages.end()) {
        Forget(same);
    }
    m_bytes += transactionId.size() + page.size();
    m_pages.emplace_back(transactionId, std::move(page));
    while (m_pages.size() > kMaxPages || (m_bytes > kMaxBytes && m_pages.size() > 1)) {
        Forget(m_pages.begin());
    }
}

const std::string* ResultPages::Find(std::string_view transactionId) const {
    const auto found = std::find_if(m_pages.rbegin(), m_pages.rend(),
                                    [&](const auto& kept) { return kept.first == transactionId; });
    return found == m_pages.rend() ? nullptr : &found->second;
}

void ResultPages::Forget(std::deque<std::pair<std::string, std::string>>::iterator page) {
    m_bytes -= page->first.size() + page->second.size();
    m_pages.erase(page);
}

}  // namespace zn::console
