#pragma once

#include <cstddef>
#include <functional>

namespace zn {

// Starts a detached thread with the given stack size (0: the system's default). False when the
// thread could not be started; the function is then not run.
bool StartDetachedThread(std::function<void()> body, std::size_t stackBytes = 0);

}  // namespace zn
