#pragma once

#include <sys/types.h>

#include <filesystem>

#include "platform/UniqueFd.h"

// Stream sockets in the file system, for a local service and its clients.
namespace zn {

// A non-blocking connection to the socket at `path`; invalid (errno set) when nobody listens there
// or its backlog is full.
UniqueFd ConnectUnixSocket(const std::filesystem::path& path);

// A socket listening at `path` with permission bits `mode`; whatever was at `path` before is
// replaced. Invalid (errno set) on failure.
UniqueFd ListenUnixSocket(const std::filesystem::path& path, mode_t mode);

// The one listening socket that systemd handed this process (socket activation), else invalid.
UniqueFd InheritedListener();

}  // namespace zn
