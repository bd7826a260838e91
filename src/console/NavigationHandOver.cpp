#include "console/NavigationHandOver.h"

#include <utility>

namespace zn::console {

NavigationHandOver::NavigationHandOver(std::function<void()> deliver)
    : m_deliver(std::move(deliver)) {}

void NavigationHandOver::RequestNavigation(std::string address) {
    std::lock_guard unit(m_unitMutex);
    {
        std::lock_guard lock(m_pendingMutex);
        m_pending = std::move(address);
    }
    m_deliver();
}

std::string NavigationHandOver::TakePending() {
    std::lock_guard lock(m_pendingMutex);
    return std::exchange(m_pending, std::string());
}

}  // namespace zn::console
