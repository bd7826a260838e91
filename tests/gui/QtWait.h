#pragma once

#include <QTest>

#include <chrono>
#include <functional>

namespace zn::test {

// Runs the event loop until the condition holds or the time is up; true when it held.
inline bool WaitWithEvents(const std::function<bool()>& condition,
                           std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}

}  // namespace zn::test
