#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace zn {

// A click on the page element with this id calls this action of the program.
template <typename Action>
struct PageEvent {
    std::string_view id;
    Action action;
};

// The action bound to an element id, compared exactly; `none` for ids outside the table.
template <typename Action, std::size_t Size>
constexpr Action FindPageEvent(const std::array<PageEvent<Action>, Size>& table,
                               std::string_view id, Action none) {
    for (const PageEvent<Action>& event : table) {
        if (event.id == id) {
            return event.action;
        }
    }
    return none;
}

}  // namespace zn
