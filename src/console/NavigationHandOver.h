#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "console/HandOffQueue.h"

namespace zn::console {

// Hands web addresses from worker threads to the UI thread's browser, in the order handed over;
// a worker never waits for the UI thread. While kCapacity addresses wait for a busy UI thread, a
// new one takes the place of the newest waiting one: the UI thread would navigate to both in one
// turn, and the later would replace the earlier on screen at once.
class NavigationHandOver {
public:
    static constexpr std::size_t kCapacity = 256;

    // `schedule` makes the UI thread run its pending-navigation handler later; it must not wait
    // for that (the Qt side posts it).
    explicit NavigationHandOver(std::function<void()> schedule);

    // Worker side: queues the address.
    void RequestNavigation(std::string address);
    // UI side, in the handler, until it gives the empty text: the next address.
    std::string TakePending();
    // The event loop has ended: later addresses are dropped and no worker waits.
    void Close();

private:
    HandOffQueue<std::string> m_queue;
};

}  // namespace zn::console
