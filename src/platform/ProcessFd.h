#pragma once

#include <sys/types.h>

#include <chrono>

#include "platform/UniqueFd.h"

namespace zn {

// A descriptor of the process, ours or not, that becomes readable when it ends (a zombie has
// ended). Invalid, with errno set, when there is none: ESRCH for a process that is gone.
UniqueFd OpenProcessFd(pid_t pid);

// Sends the signal to the process behind `processFd`, which a pid reused meanwhile cannot divert;
// false when refused.
bool SignalProcessFd(int processFd, int number);

// Waits up to `limit` for the process behind `processFd` to end; true when it has.
bool WaitForProcessFd(int processFd, std::chrono::milliseconds limit);

// Waits up to `limit` for any process to end; true when it has ended or is gone. False (logged)
// also when the process cannot be watched.
bool WaitForProcessEnd(pid_t pid, std::chrono::milliseconds limit);

}  // namespace zn
