#include "console/ListenerNotification.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "console/ConsoleSettings.h"
#include "platform/Registry.h"
#include "platform/WindowDirectory.h"

namespace zn::console {
namespace {

using namespace std::chrono_literals;

// The listener tool as a child process, its output read line by line.
test::ChildProcess StartListenTool(const std::string& className, const std::string& title) {
    return test::ChildProcess(
        {.arguments = {ZN_LISTEN_TOOL, "--class", className, "--title", title},
         .pipeOutput = true});
}

class ListenerNotificationTest : public ::testing::Test {
protected:
    RegistryKey ListenerKey() {
        auto key = registry.CreateKey(RegistryRoot::LocalMachine, kListenerKeyPath);
        EXPECT_TRUE(key.has_value());
        return *key;
    }

    void WaitUntilPublished(const std::string& className, const std::string& title) {
        ASSERT_TRUE(test::WaitFor([&] { return windows.Find(className, title).has_value(); }))
            << "window " << className << "/" << title << " never appeared";
    }

    test::Sandbox sandbox;
    Registry registry{sandbox.RegistryFolder()};
    WindowDirectory windows{sandbox.RuntimeFolder()};
};

std::string WithoutNuls(std::string text) {
    std::erase(text, '\0');
    return text;
}

TEST_F(ListenerNotificationTest, ReachesEveryListedWindowAndSkipsMissingOnes) {
    auto first = StartListenTool("FirstClass", "First Title");
    auto second = StartListenTool("SecondClass", "Second Title");
    ASSERT_TRUE(first.Started() && second.Started()) << "cannot run " << ZN_LISTEN_TOOL;
    WaitUntilPublished("FirstClass", "First Title");
    WaitUntilPublished("SecondClass", "Second Title");

    const RegistryKey key = ListenerKey();
    ASSERT_TRUE(key.SetString("FirstClass", "First Title"));
    ASSERT_TRUE(key.SetString("MissingClass", "Nobody"));
    ASSERT_TRUE(key.SetString("SecondClass", "Second Title"));

    EXPECT_EQ(NotifyListeners(registry, windows, "O12345", 1), 2);
    const auto firstLine = first.ReadLine(5s);
    const auto secondLine = second.ReadLine(5s);
    ASSERT_TRUE(firstLine && secondLine) << "a listener printed nothing";
    // Number 10000 + event code; the byte count includes the terminator.
    EXPECT_EQ(WithoutNuls(*firstLine), "10001 7 O12345");
    EXPECT_EQ(WithoutNuls(*secondLine), "10001 7 O12345");
}

class RecordingWindow {
public:
    RecordingWindow(const WindowDirectory& windows, std::string className, std::string caption,
                    bool answer = true)
        : m_answer(answer) {
        m_window =
            PublishedWindow::Publish(windows, std::move(className), std::move(caption),
                                     [this](std::uint32_t number, std::vector<std::byte> data) {
                                         std::unique_lock lock(m_mutex);
                                         m_received.push_back({number, std::move(data)});
                                         m_released.wait(lock, [this] { return m_answer; });
                                     });
    }
    ~RecordingWindow() {
        Release();
        m_window.reset();
    }

    bool Published() const { return m_window != nullptr; }
    void Release() {
        {
            std::lock_guard lock(m_mutex);
            m_answer = true;
        }
        m_released.notify_all();
    }
    std::size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_received.size();
    }
    std::pair<std::uint32_t, std::vector<std::byte>> At(std::size_t index) const {
        std::lock_guard lock(m_mutex);
        return m_received.at(index);
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_answer;
    std::vector<std::pair<std::uint32_t, std::vector<std::byte>>> m_received;
    std::unique_ptr<PublishedWindow> m_window;
};

std::vector<std::byte> Bytes(std::string_view text) {
    const auto bytes = std::as_bytes(std::span(text.data(), text.size()));
    return {bytes.begin(), bytes.end()};
}

TEST_F(ListenerNotificationTest, AWindowThatNeverAnswersIsSkippedAfterTheBound) {
    RecordingWindow hung(windows, "HungClass", "Hung", false);
    RecordingWindow alive(windows, "AliveClass", "Alive");
    ASSERT_TRUE(hung.Published() && alive.Published());
    const RegistryKey key = ListenerKey();
    ASSERT_TRUE(key.SetString("HungClass", "Hung"));
    ASSERT_TRUE(key.SetString("AliveClass", "Alive"));
    ASSERT_TRUE(key.SetString("AliveClass2", "Alive"));  // another class: no such window

    EXPECT_EQ(NotifyListeners(registry, windows, "收到", 7, 200ms), 1);
    ASSERT_EQ(alive.Count(), 1u);
    EXPECT_EQ(alive.At(0).first, 10007u);
    // The wire code page, then the terminator.
    EXPECT_EQ(alive.At(0).second, Bytes(std::string_view("\xca\xd5\xb5\xbd\0", 5)));
    hung.Release();
}

TEST_F(ListenerNotificationTest, WalkRules) {
    RecordingWindow window(windows, "Cls", "Title");
    ASSERT_TRUE(window.Published());
    EXPECT_EQ(NotifyListeners(registry, windows, "a", 1), 0) << "no Listener key";

    const RegistryKey key = ListenerKey();
    ASSERT_TRUE(key.SetString("Cls", "Title"));
    ASSERT_TRUE(key.SetDword("NumberValue", 5));                 // not a text: skipped
    ASSERT_TRUE(key.SetString("", "Title"));                     // no class name: skipped
    ASSERT_TRUE(key.SetString("Other", std::string(300, 't')));  // data too long: skipped
    ASSERT_TRUE(key.SetString("Cls2", "Title"));                 // no window of that class
    EXPECT_EQ(NotifyListeners(registry, windows, "a", 1), 1);
    EXPECT_EQ(window.Count(), 1u);

    // A name over its buffer ends the walk: entries after it are not reached.
    ASSERT_TRUE(key.DeleteValue("Cls"));
    ASSERT_TRUE(key.SetString(std::string(300, 'n'), "Title"));
    ASSERT_TRUE(key.SetString("Cls", "Title"));
    EXPECT_EQ(NotifyListeners(registry, windows, "a", 1), 0);
    EXPECT_EQ(window.Count(), 1u);
}

}  // namespace
}  // namespace zn::console
