#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <utility>

namespace zn::console {

// The result pages of the transactions completed lately, by transaction id, so that a re-send or
// a display shows the customer of the open page his own result. Bounded in count and bytes: the
// oldest go first. UI thread only.
class ResultPages {
public:
    static constexpr std::size_t kMaxPages = 256;
    static constexpr std::size_t kMaxBytes = 64 * 1024 * 1024;

    // The page of a completion; an empty id keeps it only as the last one. A page of an id kept
    // already replaces it.
    void Keep(const std::string& transactionId, std::string page);
    // The page of the last completion, whatever its id; empty before the first one.
    const std::string& Last() const { return m_last; }
    // Null when no completion of this id is kept.
    const std::string* Find(std::string_view transactionId) const;
    std::size_t Count() const { return m_pages.size(); }

private:
    void Forget(std::deque<std::pair<std::string, std::string>>::iterator page);

    std::deque<std::pair<std::string, std::string>> m_pages;  // oldest first
    std::size_t m_bytes = 0;
    std::string m_last;
};

}  // namespace zn::console
