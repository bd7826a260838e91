#include "console/NavigationHandOver.h"

#include <utility>

#include "platform/Log.h"

namespace zn::console {

NavigationHandOver::NavigationHandOver(std::function<void()> schedule)
    : m_queue(std::move(schedule), kCapacity) {}

void NavigationHandOver::RequestNavigation(std::string address) {
    const auto replace = [](std::string& newest, std::string&& later) {
        log::Info("navigation to {} skipped: {} pages wait, the later {} takes its place", newest,
                  kCapacity, later);
        newest = std::move(later);
    };
    if (m_queue.PushOrFold(std::move(address), replace) ==
        HandOffQueue<std::string>::Result::Closed) {
        log::Warn("navigation to {} dropped: the console is closing", address);
    }
}

std::string NavigationHandOver::TakePending() {
    return m_queue.Take().value_or(std::string());
}

void NavigationHandOver::Close() {
    m_queue.Close();
}

}  // namespace zn::console
