#pragma once

#include <cstddef>
#include <functional>

namespace zn {

// Starts a detached thread with the given stack size (0: the system's default). False when the
// thread could not be started; the function is then not run.
bool StartDetachedThread(std::function<void()> body, std::size_t stackBytes = 0);

// Asks the scheduler for short time slices on the calling thread, so that when it wakes it takes
// a processor from busier threads at once instead of at the end of their slice. Its share of the
// processor stays the same. Kernels without custom slices (before 6.12) take the request and
// keep their own wake-up rule.
void PreferPromptWakeUps();

}  // namespace zn
