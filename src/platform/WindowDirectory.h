#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

struct WindowEntry {
    std::string className;
    std::string caption;
    pid_t pid = 0;
    std::filesystem::path socketPath;  // where the window takes copy-data messages
};

enum class CopyDataResult { Acknowledged, NoWindow, TimedOut, Failed };

// Top-level windows that programs publish, found by caption (or class and caption), and the
// synchronous copy-data message between processes. Entries of dead processes are ignored and
// removed.
class WindowDirectory {
public:
    explicit WindowDirectory(std::filesystem::path folder);

    // $ZENTROVA_RUNTIME_DIR, else ${XDG_RUNTIME_DIR:-/tmp}/zentrova-<uid>.
    static std::filesystem::path DefaultFolder();

    // An empty class name matches any class. The first live match, or nullopt.
    std::optional<WindowEntry> Find(std::string_view className, std::string_view caption) const;
    std::vector<WindowEntry> List() const;

    // Delivers the number and the bytes and waits for the receiver's acknowledgement, at most
    // `timeout` (SendMessageTimeout's bound, so an unresponsive window cannot hold the sender).
    // NoWindow when the window's socket is gone; Failed for more than 1 MiB of data or a
    // receiver that dropped the message.
    CopyDataResult SendCopyData(const WindowEntry& window, std::uint32_t number,
                                std::span<const std::byte> data,
                                std::chrono::milliseconds timeout) const;

    const std::filesystem::path& Folder() const { return m_folder; }

private:
    std::filesystem::path m_folder;
};

// One window of this process, published while the object lives. Copy-data messages are handed
// to the handler on the window's own receiving thread; the sender is acknowledged when the
// handler returns.
class PublishedWindow {
public:
    using CopyDataHandler = std::function<void(std::uint32_t number, std::vector<std::byte> data)>;

    // nullptr when the window could not be published: a class name over 256 bytes, a folder
    // that is not the user's own (or others may write to it), or a socket path too long for a
    // Unix socket. A caption is cut to 4096 bytes, at a character boundary.
    static std::unique_ptr<PublishedWindow> Publish(const WindowDirectory& directory,
                                                    std::string className, std::string caption,
                                                    CopyDataHandler handler);
    // Unpublishes; waits for a handler that is running, so never from inside the handler.
    virtual ~PublishedWindow() = default;

    // SetCaption and Entry belong to the thread that owns the window.
    virtual void SetCaption(std::string caption) = 0;
    virtual const WindowEntry& Entry() const = 0;
};

}  // namespace zn
