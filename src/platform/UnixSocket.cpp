#include "platform/UnixSocket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <systemd/sd-daemon.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace zn {
namespace {

constexpr int kBacklog = 16;

bool FillAddress(const std::filesystem::path& path, sockaddr_un& address) {
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.empty() || text.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

UniqueFd ConnectUnixSocket(const std::filesystem::path& path) {
    sockaddr_un address{};
    if (!FillAddress(path, address)) {
        return {};
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.IsValid()) {
        return {};
    }
    while (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINTR) {
            return {};
        }
    }
    return fd;
}

UniqueFd ListenUnixSocket(const std::filesystem::path& path, mode_t mode) {
    // Made beside it and renamed over it once listening: a client never finds a socket that
    // refuses it, and one left by a service that ended is replaced.
    const std::filesystem::path made = path.string() + ".new";
    sockaddr_un address{};
    if (!FillAddress(made, address)) {
        return {};
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.IsValid()) {
        return {};
    }
    ::unlink(address.sun_path);
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(address.sun_path, mode) != 0 || ::listen(fd.Get(), kBacklog) != 0 ||
        ::rename(address.sun_path, path.c_str()) != 0) {
        ::unlink(address.sun_path);
        return {};
    }
    return fd;
}

UniqueFd InheritedListener() {
    if (::sd_listen_fds(1) != 1 ||
        ::sd_is_socket(SD_LISTEN_FDS_START, AF_UNIX, SOCK_STREAM, 1) <= 0) {
        return {};
    }
    return UniqueFd(SD_LISTEN_FDS_START);
}

}  // namespace zn
