#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace zn::console {

// A completion's page, or nullopt when the page was over the cap and none was taken: such a result
// is never sent, and no other page is sent in its place.
using ResultPage = std::optional<std::string>;

// The result pages of the transactions completed lately, by transaction id, so that a re-send or
// a display shows the customer of the open page his own result. Bounded in count and bytes: the
// oldest go first. UI thread only.
class ResultPages {
public:
    static constexpr std::size_t kMaxPages = 256;
    static constexpr std::size_t kMaxBytes = 64 * 1024 * 1024;

    // The page of a completion; an empty id keeps it only as the last one. A page of an id kept
    // already replaces it.
    void Keep(const std::string& transactionId, ResultPage page);
    // The page of the last completion, whatever its id; empty before the first one.
    const ResultPage& Last() const { return m_last; }
    // Null when no completion of this id is kept.
    const ResultPage* Find(std::string_view transactionId) const;
    std::size_t Count() const { return m_pages.size(); }

private:
    void Forget(std::deque<std::pair<std::string, ResultPage>>::iterator page);

    std::deque<std::pair<std::string, ResultPage>> m_pages;  // oldest first
    std::size_t m_bytes = 0;
    ResultPage m_last = std::string();
};

}  // namespace zn::console
