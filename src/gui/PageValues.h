#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace zn::gui {

// The `value` of every element of a page by element id, taken when a bound element was clicked.
// Pages are untrusted, so what is kept is bounded: ids and values are cut, and ids past the count
// or size budget are dropped (they read as empty, like missing elements).
class PageValues {
public:
    static constexpr std::size_t kMaxIdBytes = 256;
    static constexpr std::size_t kMaxValueBytes = 64 * 1024;
    static constexpr std::size_t kMaxIds = 4096;
    static constexpr std::size_t kMaxTotalBytes = 4 * 1024 * 1024;
    // In UTF-16 units, as the page counts them: a body kept fits a page frame to a seat in GB2312.
    static constexpr std::size_t kMaxBodyChars = 4 * 1024 * 1024;

    // Keeps the value of `id` (UTF-8), cut to kMaxValueBytes on a character boundary. False,
    // keeping nothing, for an empty or over-long id, an id already present, or a full budget.
    bool Add(std::string_view id, std::string_view value);

    // The value of the element with this id; the empty text when the page had none.
    const std::string& Get(std::string_view id) const;
    std::size_t Count() const { return m_values.size(); }

    // The body's outer HTML taken at the same moment as the values, for clicks on the ids that
    // ask for it; nullopt otherwise.
    void SetBody(std::string html) { m_body = std::move(html); }
    const std::optional<std::string>& Body() const { return m_body; }
    // A body over kMaxBodyChars is not taken, and marked so.
    void MarkBodyTooLarge() { m_bodyTooLarge = true; }
    bool BodyTooLarge() const { return m_bodyTooLarge; }

private:
    std::map<std::string, std::string, std::less<>> m_values;
    std::size_t m_totalBytes = 0;
    std::optional<std::string> m_body;
    bool m_bodyTooLarge = false;
};

}  // namespace zn::gui
