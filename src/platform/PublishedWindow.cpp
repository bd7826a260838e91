#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>

#include "platform/CopyDataWire.h"
#include "platform/ProcessIdentity.h"
#include "platform/UniqueFd.h"
#include "platform/Utf8.h"
#include "platform/WindowDirectory.h"
#include "platform/WindowDirectoryFiles.h"

namespace zn {

namespace {

// A sender has this long, from being accepted, to deliver its whole message; a stalled one must
// not keep the window from the messages queued behind it.
constexpr auto kMessageReadTimeout = std::chrono::seconds(2);
constexpr int kListenBacklog = 16;

std::atomic<std::uint64_t> g_nextSerial{1};

class LocalPublishedWindow final : public PublishedWindow {
public:
    LocalPublishedWindow(std::filesystem::path folder, std::string stem, WindowEntry entry,
                         CopyDataHandler handler)
        : m_folder(std::move(folder)),
          m_stem(std::move(stem)),
          m_entry(std::move(entry)),
          m_handler(std::move(handler)),
          m_startTicks(ProcessStartTicks(::getpid()).value_or(0)) {}

    ~LocalPublishedWindow() override {
        std::error_code ignored;
        std::filesystem::remove(EntryFileOf(m_folder, m_stem), ignored);
        if (m_thread.joinable()) {
            const char stop = 1;
            while (::write(m_stopWrite.Get(), &stop, 1) < 0 && errno == EINTR) {
            }
            m_thread.join();
        }
        if (m_listener.IsValid()) {
            ::unlink(m_entry.socketPath.c_str());
        }
    }

    bool Start() {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string socketPath = m_entry.socketPath.string();
        if (socketPath.size() >= sizeof address.sun_path) {
            return false;
        }
        std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
        if (!PrepareWindowFolder(m_folder)) {
            return false;
        }
        int stopPipe[2];
        if (::pipe2(stopPipe, O_CLOEXEC) != 0) {
            return false;
        }
        m_stopRead.Reset(stopPipe[0]);
        m_stopWrite.Reset(stopPipe[1]);
        UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!listener.IsValid()) {
            return false;
        }
        // The name holds our pid: a socket already there belongs to a dead process.
        ::unlink(socketPath.c_str());
        if (::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
            0) {
            return false;
        }
        m_listener = std::move(listener);
        if (::listen(m_listener.Get(), kListenBacklog) != 0) {
            return false;
        }
        try {
            m_thread = std::thread([this] { Receive(); });
        } catch (const std::system_error&) {
            return false;
        }
        return WriteEntry();
    }

    void SetCaption(std::string caption) override {
        m_entry.caption = std::string(Utf8::Cut(caption, kMaxCaptionBytes));
        WriteEntry();
    }

    const WindowEntry& Entry() const override { return m_entry; }

private:
    bool WriteEntry() const {
        const WindowEntryRecord record{m_entry.className, m_entry.caption, m_entry.pid,
                                       m_startTicks};
        return WriteEntryFileAtomically(EntryFileOf(m_folder, m_stem), FormatWindowEntry(record));
    }

    bool StopRequested(int timeoutMs) const {
        pollfd stop{m_stopRead.Get(), POLLIN, 0};
        return ::poll(&stop, 1, timeoutMs) > 0;
    }

    void Receive() {
        for (;;) {
            pollfd fds[2] = {{m_listener.Get(), POLLIN, 0}, {m_stopRead.Get(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (fds[1].revents != 0) {
                return;
            }
            UniqueFd connection(
                ::accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (!connection.IsValid()) {
                // Out of descriptors and the like: back off instead of spinning.
                if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED &&
                    StopRequested(50)) {
                    return;
                }
                continue;
            }
            if (!Serve(connection.Get())) {
                return;
            }
        }
    }

    // False when the window is being destroyed.
    bool Serve(int connection) {
        const auto deadline = std::chrono::steady_clock::now() + kMessageReadTimeout;
        CopyDataHeaderBytes headerBytes{};
        auto read = ReadExactly(connection, headerBytes, deadline, m_stopRead.Get());
        if (read != IoResult::Done) {
            return read != IoResult::Stopped;
        }
        const CopyDataHeader header = DecodeCopyDataHeader(headerBytes);
        if (header.length > kMaxCopyDataBytes) {
            return true;
        }
        std::vector<std::byte> data(header.length);
        read = ReadExactly(connection, data, deadline, m_stopRead.Get());
        if (read != IoResult::Done) {
            return read != IoResult::Stopped;
        }
        if (m_handler) {
            try {
                m_handler(header.number, std::move(data));
            } catch (const std::exception&) {
                return true;  // no acknowledgement: the sender sees a failure
            }
        }
        const std::byte ack = kCopyDataAcknowledgement;
        // A sender that gave up has closed; that is its business.
        WriteAll(connection, std::span(&ack, 1), std::chrono::steady_clock::now());
        return true;
    }

    std::filesystem::path m_folder;
    std::string m_stem;
    WindowEntry m_entry;
    CopyDataHandler m_handler;
    std::uint64_t m_startTicks;
    UniqueFd m_listener;
    UniqueFd m_stopRead;
    UniqueFd m_stopWrite;
    std::thread m_thread;
};

}  // namespace

std::unique_ptr<PublishedWindow> PublishedWindow::Publish(const WindowDirectory& directory,
                                                          std::string className,
                                                          std::string caption,
                                                          CopyDataHandler handler) {
    if (className.size() > kMaxClassNameBytes) {
        return nullptr;
    }
    const pid_t pid = ::getpid();
    std::string stem = WindowFileStem(pid, g_nextSerial.fetch_add(1));
    WindowEntry entry{std::move(className), std::string(Utf8::Cut(caption, kMaxCaptionBytes)), pid,
                      SocketFileOf(directory.Folder(), stem)};
    auto window = std::make_unique<LocalPublishedWindow>(directory.Folder(), std::move(stem),
                                                         std::move(entry), std::move(handler));
    if (!window->Start()) {
        return nullptr;
    }
    return window;
}

}  // namespace zn
