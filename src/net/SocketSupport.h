#pragma once

#include <netinet/in.h>

// Pieces shared by the socket wrappers; not part of the library's interface.
namespace zn::detail {

// Remembers `error` as this thread's last socket error.
void RecordSocketError(int error);
// Records errno and returns -1, the failure result of the system calls it stands for.
int RecordErrno();
// A call on an object that holds no socket fails as Windows reports it: not a socket.
int RecordNoSocket();

// A new socket of `type`, bound to `local`; -1 on failure (error recorded, nothing left open).
// Listening ports may be bound again at once while old connections linger.
int CreateBoundSocket(int type, const sockaddr_in& local);
void ReadLocalAddress(int handle, sockaddr_in& local);

}  // namespace zn::detail
