#pragma once

#include <functional>
#include <mutex>
#include <string>

namespace zn::console {

// Hands web addresses from worker threads to the UI thread's browser. `deliver` makes the UI
// thread run its pending-navigation handler and returns only when that handler has run (the Qt
// side: a blocking queued call); it must never be called on the UI thread itself.
class NavigationHandOver {
public:
    explicit NavigationHandOver(std::function<void()> deliver);

    // Worker side: stores the address and delivers it. Storing and navigating form one unit, so
    // concurrent requests neither lose nor mix their addresses. Returns after the navigation
    // has been started.
    void RequestNavigation(std::string address);

    // UI side, in the handler: the pending address, left empty. Empty means nothing to do.
    std::string TakePending();

private:
    std::function<void()> m_deliver;
    std::mutex m_unitMutex;     // one address stored and delivered at a time
    std::mutex m_pendingMutex;  // the address is never read while being written
    std::string m_pending;
};

}  // namespace zn::console
