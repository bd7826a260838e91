#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "console/HandOffQueue.h"

namespace zn::console {

// Hands web addresses from worker threads to the UI thread's browser. Every address is
// navigated, once and in the order handed over; a worker does not wait for the UI thread unless
// kCapacity addresses are already waiting for it.
class NavigationHandOver {
public:
    static constexpr std::size_t kCapacity = 256;
    // A UI thread that takes nothing for this long is stuck; the address is dropped and logged.
    static constexpr std::chrono::seconds kMaxWait{30};

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
