#include "platform/WindowDirectory.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "Sandbox.h"
#include "WaitFor.h"
#include "platform/CopyDataWire.h"
#include "platform/ProcessIdentity.h"
#include "platform/WindowDirectoryFiles.h"

namespace zn {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::vector<std::byte> Bytes(std::string_view text) {
    const auto* first = reinterpret_cast<const std::byte*>(text.data());
    return {first, first + text.size()};
}

struct Message {
    std::uint32_t number = 0;
    std::vector<std::byte> data;
};

// Collects what a window's handler was given, from the window's receiving thread.
class Inbox {
public:
    PublishedWindow::CopyDataHandler Handler() {
        return [this](std::uint32_t number, std::vector<std::byte> data) {
            std::lock_guard lock(m_mutex);
            m_messages.push_back({number, std::move(data)});
        };
    }
    std::vector<Message> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
};

// A raw client of a window's socket, for what a well-behaved sender never sends.
class RawConnection {
public:
    explicit RawConnection(const fs::path& socketPath) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        m_connected =
            ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawConnection() { ::close(m_fd); }
    bool Connected() const { return m_connected; }
    bool Send(std::span<const std::byte> data) const {
        return ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(data.size());
    }
    // True when the window closed the connection (end of stream or reset) within the bound.
    bool ClosedByWindow(std::chrono::milliseconds bound) const {
        pollfd ready{m_fd, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(bound.count())) != 1) {
            return false;
        }
        char byte;
        return ::recv(m_fd, &byte, 1, MSG_DONTWAIT) <= 0;
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

class WindowDirectoryTest : public ::testing::Test {
protected:
    std::unique_ptr<PublishedWindow> Publish(std::string className, std::string caption,
                                             PublishedWindow::CopyDataHandler handler = {}) {
        return PublishedWindow::Publish(m_directory, std::move(className), std::move(caption),
                                        std::move(handler));
    }
    std::vector<fs::path> FolderFiles() const {
        std::vector<fs::path> files;
        for (const auto& item : fs::directory_iterator(m_sandbox.RuntimeFolder())) {
            files.push_back(item.path().filename());
        }
        return files;
    }

    test::Sandbox m_sandbox;
    WindowDirectory m_directory{WindowDirectory::DefaultFolder()};
};

TEST_F(WindowDirectoryTest, DefaultFolderFollowsTheEnvironment) {
    EXPECT_EQ(WindowDirectory::DefaultFolder(), m_sandbox.RuntimeFolder());

    const char* savedXdg = ::getenv("XDG_RUNTIME_DIR");
    const std::optional<std::string> xdg =
        savedXdg ? std::optional<std::string>(savedXdg) : std::nullopt;
    const std::string own = "zentrova-" + std::to_string(::getuid());
    ::unsetenv("ZENTROVA_RUNTIME_DIR");
    ::setenv("XDG_RUNTIME_DIR", "/run/user/test", 1);
    EXPECT_EQ(WindowDirectory::DefaultFolder(), fs::path("/run/user/test") / own);
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(WindowDirectory::DefaultFolder(), fs::path("/tmp") / own);
    if (xdg) {
        ::setenv("XDG_RUNTIME_DIR", xdg->c_str(), 1);
    }
}

TEST_F(WindowDirectoryTest, TwoWindowsEachReceiveTheirMessage) {
    Inbox first, second;
    const auto a = Publish("ListenerClass", "first", first.Handler());
    const auto b = Publish("ListenerClass", "second", second.Handler());
    ASSERT_TRUE(a && b);

    const auto foundA = m_directory.Find("ListenerClass", "first");
    const auto foundB = m_directory.Find("ListenerClass", "second");
    ASSERT_TRUE(foundA && foundB);
    EXPECT_EQ(foundA->pid, ::getpid());
    EXPECT_EQ(foundA->socketPath, a->Entry().socketPath);
    EXPECT_EQ(m_directory.SendCopyData(*foundA, 10001, Bytes("to a"), 5s),
              CopyDataResult::Acknowledged);
    EXPECT_EQ(m_directory.SendCopyData(*foundB, 10002, Bytes(std::string_view("b\0", 2)), 5s),
              CopyDataResult::Acknowledged);

    // The sender returns only after the handler did: the messages are there already.
    ASSERT_EQ(first.Messages().size(), 1u);
    EXPECT_EQ(first.Messages()[0].number, 10001u);
    EXPECT_EQ(first.Messages()[0].data, Bytes("to a"));
    ASSERT_EQ(second.Messages().size(), 1u);
    EXPECT_EQ(second.Messages()[0].number, 10002u);
    EXPECT_EQ(second.Messages()[0].data, Bytes(std::string_view("b\0", 2)));
    EXPECT_EQ(m_directory.List().size(), 2u);
}

TEST_F(WindowDirectoryTest, FindsByCaptionAloneOrByClassAndCaption) {
    const auto window = Publish("ConsoleClass", "墨维网吧收银台");
    ASSERT_TRUE(window);

    EXPECT_TRUE(m_directory.Find("", "墨维网吧收银台"));
    EXPECT_TRUE(m_directory.Find("ConsoleClass", "墨维网吧收银台"));
    EXPECT_FALSE(m_directory.Find("OtherClass", "墨维网吧收银台"));
    EXPECT_FALSE(m_directory.Find("", "墨维网吧收银"));
    EXPECT_FALSE(m_directory.Find("", "墨维网吧收银台——订单处理"));
}

TEST_F(WindowDirectoryTest, CaptionChangeIsSeenByFind) {
    Inbox inbox;
    const auto window = Publish("ConsoleClass", "template caption", inbox.Handler());
    ASSERT_TRUE(window);
    window->SetCaption("墨维网吧收银台");

    EXPECT_FALSE(m_directory.Find("", "template caption"));
    const auto found = m_directory.Find("", "墨维网吧收银台");
    ASSERT_TRUE(found);
    EXPECT_EQ(window->Entry().caption, "墨维网吧收银台");
    EXPECT_EQ(m_directory.SendCopyData(*found, 1, Bytes("x"), 5s), CopyDataResult::Acknowledged);
    EXPECT_EQ(inbox.Messages().size(), 1u);
}

TEST_F(WindowDirectoryTest, CaptionsWithLineBreaksAndBackslashesSurviveTheEntry) {
    const std::string caption = "line\nbreak\\x41\r\t\x01 end";
    const auto window = Publish("a=b\\c", caption);
    ASSERT_TRUE(window);
    const auto found = m_directory.Find("a=b\\c", caption);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->caption, caption);
    EXPECT_FALSE(m_directory.Find("", "line"));
}

TEST_F(WindowDirectoryTest, ClassAndCaptionAreBounded) {
    EXPECT_FALSE(Publish(std::string(kMaxClassNameBytes + 1, 'c'), "caption"));
    EXPECT_TRUE(Publish(std::string(kMaxClassNameBytes, 'c'), "caption"));

    // A caption over the bound is cut before a character, never inside one.
    std::string longCaption;
    while (longCaption.size() <= kMaxCaptionBytes) {
        longCaption += "台";
    }
    const auto window = Publish("c", longCaption);
    ASSERT_TRUE(window);
    const std::string expected = longCaption.substr(0, kMaxCaptionBytes / 3 * 3);
    EXPECT_EQ(window->Entry().caption, expected);
    EXPECT_TRUE(m_directory.Find("c", expected));

    window->SetCaption(longCaption + "x");
    EXPECT_EQ(window->Entry().caption, expected);
}

TEST_F(WindowDirectoryTest, UnpublishedWindowIsGoneWithItsFiles) {
    auto window = Publish("c", "closing");
    ASSERT_TRUE(window);
    const WindowEntry entry = window->Entry();
    EXPECT_EQ(FolderFiles().size(), 2u);

    window.reset();
    EXPECT_FALSE(m_directory.Find("", "closing"));
    EXPECT_TRUE(FolderFiles().empty());
    EXPECT_EQ(m_directory.SendCopyData(entry, 1, Bytes("x"), 1s), CopyDataResult::NoWindow);
}

TEST_F(WindowDirectoryTest, EntryOfAKilledProcessIsIgnoredAndRemoved) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const WindowDirectory directory(WindowDirectory::DefaultFolder());
        const auto window = PublishedWindow::Publish(directory, "c", "doomed", {});
        if (!window) {
            ::_exit(1);
        }
        for (;;) {
            ::pause();
        }
    }
    const bool published =
        test::WaitFor([&] { return m_directory.Find("", "doomed").has_value(); });
    ::kill(child, SIGKILL);
    ASSERT_TRUE(published) << "the child did not publish its window";
    ASSERT_EQ(FolderFiles().size(), 2u);

    // Not reaped yet: a zombie counts as dead too.
    EXPECT_TRUE(test::WaitFor([&] { return !m_directory.Find("", "doomed").has_value(); }))
        << "the killed child's window is still found";
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(FolderFiles().empty());
}

TEST_F(WindowDirectoryTest, EntryOfAnEarlierProcessWithTheSamePidIsIgnored) {
    const auto started = ProcessStartTicks(::getpid());
    ASSERT_TRUE(started) << "no /proc here";
    const auto folder = m_sandbox.RuntimeFolder();
    const auto stem = WindowFileStem(::getpid(), 999999);
    WriteEntryFileAtomically(EntryFileOf(folder, stem),
                             FormatWindowEntry({"c", "stale", ::getpid(), *started + 1}));
    const auto liveStem = WindowFileStem(::getpid(), 999998);
    WriteEntryFileAtomically(EntryFileOf(folder, liveStem),
                             FormatWindowEntry({"c", "live", ::getpid(), *started}));

    EXPECT_FALSE(m_directory.Find("", "stale"));
    EXPECT_FALSE(fs::exists(EntryFileOf(folder, stem)));
    EXPECT_TRUE(m_directory.Find("", "live"));
}

TEST_F(WindowDirectoryTest, BlockedHandlerTimesTheSenderOutAndLaterMessagesArrive) {
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
    Inbox inbox;
    auto record = inbox.Handler();
    const auto window = Publish("c", "busy", [&](std::uint32_t number, std::vector<std::byte> d) {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return open; });
        record(number, std::move(d));
    });
    ASSERT_TRUE(window);
    const auto found = m_directory.Find("", "busy");
    ASSERT_TRUE(found);

    EXPECT_EQ(m_directory.SendCopyData(*found, 1, Bytes("first"), 100ms), CopyDataResult::TimedOut);
    {
        std::lock_guard lock(mutex);
        open = true;
    }
    released.notify_all();
    EXPECT_EQ(m_directory.SendCopyData(*found, 2, Bytes("second"), 5s),
              CopyDataResult::Acknowledged);
    // Like a message whose sender gave up waiting, the first one is still handled.
    const auto messages = inbox.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].number, 1u);
    EXPECT_EQ(messages[1].number, 2u);
}

TEST_F(WindowDirectoryTest, HostileConnectionsNeitherReachTheHandlerNorStopTheWindow) {
    Inbox inbox;
    const auto window = Publish("c", "target", inbox.Handler());
    ASSERT_TRUE(window);
    const auto socketPath = window->Entry().socketPath;

    {
        RawConnection oversize(socketPath);
        ASSERT_TRUE(oversize.Connected());
        ASSERT_TRUE(oversize.Send(EncodeCopyDataHeader({7, kMaxCopyDataBytes + 1})));
        // The body follows, as from a real sender; the window must not take it in.
        oversize.Send(std::vector<std::byte>(kMaxCopyDataBytes + 1, std::byte{'o'}));
        EXPECT_TRUE(oversize.ClosedByWindow(5s)) << "an oversize message was not dropped";
    }
    {
        RawConnection partial(socketPath);
        ASSERT_TRUE(partial.Connected());
        const auto header = EncodeCopyDataHeader({8, 100});
        ASSERT_TRUE(partial.Send(header));
        ASSERT_TRUE(partial.Send(Bytes("only part of it")));
    }
    {
        RawConnection garbage(socketPath);
        ASSERT_TRUE(garbage.Connected());
        ASSERT_TRUE(garbage.Send(Bytes("xyz")));
    }
    // A sender that stalls mid-message is dropped after a while; the next one gets through.
    RawConnection stalled(socketPath);
    ASSERT_TRUE(stalled.Connected());
    ASSERT_TRUE(stalled.Send(Bytes("abcd")));
    EXPECT_EQ(m_directory.SendCopyData(window->Entry(), 9, Bytes("good"), 10s),
              CopyDataResult::Acknowledged);
    EXPECT_TRUE(stalled.ClosedByWindow(5s)) << "a stalled sender was not dropped";

    const auto messages = inbox.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].number, 9u);
    EXPECT_EQ(messages[0].data, Bytes("good"));
}

TEST_F(WindowDirectoryTest, MessagesUpToTheCapArriveAndLongerOnesAreNotSent) {
    Inbox inbox;
    const auto window = Publish("c", "big", inbox.Handler());
    ASSERT_TRUE(window);
    std::vector<std::byte> largest(kMaxCopyDataBytes, std::byte{0x5a});
    largest.back() = std::byte{0};
    EXPECT_EQ(m_directory.SendCopyData(window->Entry(), 1, largest, 10s),
              CopyDataResult::Acknowledged);
    largest.push_back(std::byte{0});
    EXPECT_EQ(m_directory.SendCopyData(window->Entry(), 2, largest, 10s), CopyDataResult::Failed);
    EXPECT_EQ(m_directory.SendCopyData(window->Entry(), 3, {}, 10s), CopyDataResult::Acknowledged);

    const auto messages = inbox.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].data.size(), kMaxCopyDataBytes);
    EXPECT_EQ(messages[0].data.back(), std::byte{0});
    EXPECT_TRUE(messages[1].data.empty());
}

TEST_F(WindowDirectoryTest, DestroyingAWindowDoesNotWaitForAStalledSender) {
    auto window = Publish("c", "closing");
    ASSERT_TRUE(window);
    RawConnection stalled(window->Entry().socketPath);
    ASSERT_TRUE(stalled.Connected());
    ASSERT_TRUE(stalled.Send(Bytes("ab")));
    // Queued behind the stalled sender: by the time this gives up, the window is reading it.
    m_directory.SendCopyData(window->Entry(), 1, Bytes("queued"), 300ms);

    std::atomic<bool> destroyed{false};
    std::thread closer([&] {
        window.reset();
        destroyed = true;
    });
    const bool done = test::WaitFor([&] { return destroyed.load(); });
    if (!done) {
        closer.detach();
        FAIL() << "destroying the window hung on a stalled sender";
    }
    closer.join();
    EXPECT_TRUE(FolderFiles().empty());
}

TEST_F(WindowDirectoryTest, HostileEntryFilesAreSkipped) {
    const auto window = Publish("c", "real");
    ASSERT_TRUE(window);
    const std::string me = std::to_string(::getpid());
    const auto valid = [&](std::string caption) {
        return FormatWindowEntry({"c", std::move(caption), ::getpid(), 0});
    };
    m_sandbox.WriteFile("run/" + me + "-100.window", "\x89PNG garbage\n\0\0\xff");
    m_sandbox.WriteFile("run/" + me + "-101.window", "");
    const std::string whole = valid("half");
    m_sandbox.WriteFile("run/" + me + "-102.window", whole.substr(0, whole.size() / 2));
    m_sandbox.WriteFile("run/" + me + "-103.window", valid(std::string(kMaxCaptionBytes + 1, 'x')));
    m_sandbox.WriteFile("run/" + me + "-104.window",
                        valid("huge") + "note=" + std::string(kMaxEntryFileBytes, 'x') + "\n");
    std::string badEscape = valid("bad escape");
    badEscape.insert(badEscape.size() - 1, "\\q");
    m_sandbox.WriteFile("run/" + me + "-105.window", badEscape);
    m_sandbox.WriteFile("run/" + me + "-106.window", whole + "caption=twice\n");
    // An entry under another pid's name must not be able to claim a live process.
    m_sandbox.WriteFile("run/1-107.window", valid("wrong pid"));
    m_sandbox.WriteFile("run/not-an-entry.window", valid("odd name"));
    const auto fifo = m_sandbox.RuntimeFolder() / (me + "-108.window");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(EntryFileOf(m_sandbox.RuntimeFolder(), WindowFileStem(::getpid(), 106)),
                       m_sandbox.RuntimeFolder() / (me + "-109.window"));
    fs::create_directory(m_sandbox.RuntimeFolder() / (me + "-110.window"));

    const auto windows = m_directory.List();
    ASSERT_EQ(windows.size(), 1u) << windows.back().caption;
    EXPECT_EQ(windows[0].caption, "real");
    // Files that are not entries of dead processes are left alone.
    EXPECT_TRUE(fs::exists(m_sandbox.RuntimeFolder() / (me + "-100.window")));
}

TEST_F(WindowDirectoryTest, FolderIsMadePrivateAndMustStayPrivate) {
    const WindowDirectory fresh(m_sandbox.Path() / "made" / "here");
    const auto window = PublishedWindow::Publish(fresh, "c", "fresh", {});
    ASSERT_TRUE(window);
    EXPECT_EQ(fs::status(fresh.Folder()).permissions(), fs::perms::owner_all);
    EXPECT_TRUE(fresh.Find("", "fresh"));

    const auto open = m_sandbox.Path() / "open";
    fs::create_directory(open);
    fs::permissions(open, fs::perms::all);
    const WindowDirectory shared(open);
    EXPECT_FALSE(PublishedWindow::Publish(shared, "c", "shared", {}));
    WriteEntryFileAtomically(EntryFileOf(open, WindowFileStem(::getpid(), 1)),
                             FormatWindowEntry({"c", "planted", ::getpid(), 0}));
    EXPECT_FALSE(shared.Find("", "planted"));
}

TEST_F(WindowDirectoryTest, FolderTooLongForASocketFailsPublishCleanly) {
    // A Unix socket path holds at most 107 bytes.
    const auto deep = m_sandbox.Path() / std::string(120, 'd');
    const WindowDirectory directory(deep);
    EXPECT_FALSE(PublishedWindow::Publish(directory, "c", "deep", {}));
    EXPECT_FALSE(fs::exists(deep) && !fs::is_empty(deep));
    EXPECT_FALSE(directory.Find("", "deep"));

    WindowEntry entry{"c", "deep", ::getpid(), deep / "1-1.sock"};
    EXPECT_EQ(m_directory.SendCopyData(entry, 1, Bytes("x"), 1s), CopyDataResult::Failed);
}

}  // namespace
}  // namespace zn
