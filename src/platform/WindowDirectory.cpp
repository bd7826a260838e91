#include "platform/WindowDirectory.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/CopyDataWire.h"
#include "platform/ProcessIdentity.h"
#include "platform/UniqueFd.h"
#include "platform/WindowDirectoryFiles.h"

namespace zn {

namespace {

std::string EnvironmentValue(const char* name) {
    const char* value = ::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

void RemoveWindowFiles(const std::filesystem::path& folder, const std::string& stem) {
    std::error_code ignored;
    std::filesystem::remove(EntryFileOf(folder, stem), ignored);
    std::filesystem::remove(SocketFileOf(folder, stem), ignored);
}

enum class ConnectResult { Connected, NoWindow, TimedOut, Failed };

ConnectResult Connect(int fd, const std::filesystem::path& socketPath,
                      std::chrono::milliseconds timeout) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socketPath.string();
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return ConnectResult::Failed;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // A local connect waits only while the window's backlog is full, for at most the send
    // timeout.
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(timeout).count();
    timeval bound{static_cast<time_t>(micros / 1000000),
                  static_cast<suseconds_t>(micros % 1000000)};
    if (bound.tv_sec == 0 && bound.tv_usec == 0) {
        bound.tv_usec = 1;
    }
    if (::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound) != 0) {
        return ConnectResult::Failed;
    }
    while (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        switch (errno) {
            case EINTR:
                continue;
            case ENOENT:
            case ECONNREFUSED:
            case ENOTSOCK:
            case ENOTDIR:
                return ConnectResult::NoWindow;
            case EAGAIN:
            case EINPROGRESS:
                return ConnectResult::TimedOut;
            default:
                return ConnectResult::Failed;
        }
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        return ConnectResult::Failed;
    }
    return ConnectResult::Connected;
}

CopyDataResult ToCopyDataResult(IoResult result) {
    return result == IoResult::TimedOut ? CopyDataResult::TimedOut : CopyDataResult::Failed;
}

}  // namespace

WindowDirectory::WindowDirectory(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::filesystem::path WindowDirectory::DefaultFolder() {
    if (const auto own = EnvironmentValue("ZENTROVA_RUNTIME_DIR"); !own.empty()) {
        return own;
    }
    std::string base = EnvironmentValue("XDG_RUNTIME_DIR");
    if (base.empty()) {
        base = "/tmp";
    }
    return std::filesystem::path(base) / ("zentrova-" + std::to_string(::getuid()));
}

std::vector<WindowEntry> WindowDirectory::List() const {
    std::vector<WindowEntry> windows;
    // Entries in a folder that others can write to could name anything; trust none of them.
    if (!IsTrustedWindowFolder(m_folder)) {
        return windows;
    }
    std::error_code error;
    std::filesystem::directory_iterator it(m_folder, error);
    std::vector<EntryFileName> names;
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (auto name = ParseEntryFileName(it->path().filename().string())) {
            names.push_back(std::move(*name));
        }
    }
    std::sort(names.begin(), names.end(),
              [](const EntryFileName& a, const EntryFileName& b) { return a.stem < b.stem; });
    for (const auto& name : names) {
        const auto text = ReadEntryFile(EntryFileOf(m_folder, name.stem));
        const auto record = text ? ParseWindowEntry(*text) : std::nullopt;
        if (!record || record->pid != name.pid) {
            continue;
        }
        if (!IsProcessAlive(record->pid, record->startTicks)) {
            RemoveWindowFiles(m_folder, name.stem);
            continue;
        }
        windows.push_back(WindowEntry{record->className, record->caption, record->pid,
                                      SocketFileOf(m_folder, name.stem)});
    }
    return windows;
}

std::optional<WindowEntry> WindowDirectory::Find(std::string_view className,
                                                 std::string_view caption) const {
    for (auto& window : List()) {
        if (window.caption == caption && (className.empty() || window.className == className)) {
            return std::move(window);
        }
    }
    return std::nullopt;
}

CopyDataResult WindowDirectory::SendCopyData(const WindowEntry& window, std::uint32_t number,
                                             std::span<const std::byte> data,
                                             std::chrono::milliseconds timeout) const {
    if (data.size() > kMaxCopyDataBytes) {
        return CopyDataResult::Failed;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.IsValid()) {
        return CopyDataResult::Failed;
    }
    switch (Connect(fd.Get(), window.socketPath, timeout)) {
        case ConnectResult::Connected:
            break;
        case ConnectResult::NoWindow:
            return CopyDataResult::NoWindow;
        case ConnectResult::TimedOut:
            return CopyDataResult::TimedOut;
        case ConnectResult::Failed:
            return CopyDataResult::Failed;
    }
    const auto header = EncodeCopyDataHeader({number, static_cast<std::uint32_t>(data.size())});
    if (const auto sent = WriteAll(fd.Get(), header, deadline); sent != IoResult::Done) {
        return ToCopyDataResult(sent);
    }
    if (const auto sent = WriteAll(fd.Get(), data, deadline); sent != IoResult::Done) {
        return ToCopyDataResult(sent);
    }
    std::byte ack{};
    if (const auto got = ReadExactly(fd.Get(), std::span(&ack, 1), deadline);
        got != IoResult::Done) {
        return ToCopyDataResult(got);
    }
    return ack == kCopyDataAcknowledgement ? CopyDataResult::Acknowledged : CopyDataResult::Failed;
}

}  // namespace zn
