#include "console/ResultPages.h"

#include <algorithm>

namespace zn::console {

namespace {

std::size_t SizeOf(const ResultPage& page) {
    return page ? page->size() : 0;
}

}  // namespace

void ResultPages::Keep(const std::string& transactionId, ResultPage page) {
    m_last = page;
    if (transactionId.empty()) {
        return;
    }
    const auto same = std::find_if(m_pages.begin(), m_pages.end(),
                                   [&](const auto& kept) { return kept.first == transactionId; });
    if (same != m_pages.end()) {
        Forget(same);
    }
    m_bytes += transactionId.size() + SizeOf(page);
    m_pages.emplace_back(transactionId, std::move(page));
    while (m_pages.size() > kMaxPages || (m_bytes > kMaxBytes && m_pages.size() > 1)) {
        Forget(m_pages.begin());
    }
}

const ResultPage* ResultPages::Find(std::string_view transactionId) const {
    const auto found = std::find_if(m_pages.rbegin(), m_pages.rend(),
                                    [&](const auto& kept) { return kept.first == transactionId; });
    return found == m_pages.rend() ? nullptr : &found->second;
}

void ResultPages::Forget(std::deque<std::pair<std::string, ResultPage>>::iterator page) {
    m_bytes -= page->first.size() + SizeOf(page->second);
    m_pages.erase(page);
}

}  // namespace zn::console
