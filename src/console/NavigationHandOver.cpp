#include "console/NavigationHandOver.h"

#include <utility>

#include "platform/Log.h"

namespace zn::console {

NavigationHandOver::NavigationHandOver(std::function<void()> schedule)
    : m_queue(std::move(schedule), kCapacity, kMaxWait) {}

void NavigationHandOver::RequestNavigation(std::string address) {
    using Result = HandOffQueue<std::string>::Result;
    switch (m_queue.Push(std::move(address))) {
        case Result::Queued:
            break;
        case Result::Closed:
            log::Warn("navigation to {} dropped: the console is closing", address);
            break;
        case Result::TimedOut:
            log::Error("navigation to {} dropped: the window took no page for {} s", address,
                       kMaxWait.count());
            break;
    }
}

std::string NavigationHandOver::TakePending() {
    return m_queue.Take().value_or(std::string());
}

void NavigationHandOver::Close() {
    m_queue.Close();
}

}  // namespace zn::console
