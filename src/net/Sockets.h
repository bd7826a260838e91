#pragma once

namespace zn {

// Once per program, before the first socket: a write to a closed connection must fail its call,
// not end the process. Returns 0.
int InitSockets();

// The error code (errno) of this thread's last failed socket call.
int LastSocketError();

}  // namespace zn
