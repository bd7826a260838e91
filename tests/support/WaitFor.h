#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace zn::test {

// Polls until the condition holds or the time is up; true when it held. Tests assert on the
// result with a message, so a fault shows as a clear failure instead of a hang.
inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace zn::test
