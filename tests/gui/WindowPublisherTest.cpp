#include "gui/WindowPublisher.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <atomic>
#include <thread>

#include "QtWait.h"
#include "Sandbox.h"
#include "gui/SingleInstance.h"
#include "platform/WindowDirectory.h"

namespace zn::gui {
namespace {

TEST(WindowPublisherTest, PublishesTheTitleAndFollowsItsChanges) {
    test::Sandbox sandbox;
    QWidget window;
    window.setWindowTitle(QStringLiteral("墨维澄元在线网吧充值系统服务台"));
    {
        WindowPublisher publisher(&window, "ZentrovaNubraConsoleDlg");
        ASSERT_TRUE(publisher.IsPublished());
        EXPECT_TRUE(FindWindowByCaption(QStringLiteral("墨维澄元在线网吧充值系统服务台")));
        EXPECT_FALSE(FindWindowByCaption(QStringLiteral("墨维网吧收银台")));

        window.setWindowTitle(QStringLiteral("墨维网吧收银台"));
        EXPECT_TRUE(FindWindowByCaption(QStringLiteral("墨维网吧收银台")));
        EXPECT_FALSE(FindWindowByCaption(QStringLiteral("墨维澄元在线网吧充值系统服务台")));
        const WindowDirectory directory(WindowDirectory::DefaultFolder());
        const auto entry = directory.Find("ZentrovaNubraConsoleDlg", "墨维网吧收银台");
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->pid, getpid());
    }
    EXPECT_FALSE(FindWindowByCaption(QStringLiteral("墨维网吧收银台")));
}

TEST(WindowPublisherTest, CopyDataArrivesOnTheUiThreadBeforeTheSenderIsAcknowledged) {
    test::Sandbox sandbox;
    QWidget window;
    window.setWindowTitle(QStringLiteral("Listener"));
    WindowPublisher publisher(&window, "ZnListener");
    ASSERT_TRUE(publisher.IsPublished());
    std::vector<std::pair<quint32, QByteArray>> received;
    bool onUiThread = false;
    QObject::connect(&publisher, &WindowPublisher::CopyDataReceived,
                     [&](quint32 number, const QByteArray& data) {
                         onUiThread = QThread::currentThread() == window.thread();
                         received.emplace_back(number, data);
                     });

    std::atomic<int> result = -1;
    std::atomic<std::size_t> seenBySender = 99;
    std::thread sender([&] {
        const WindowDirectory directory(WindowDirectory::DefaultFolder());
        const auto entry = directory.Find("", "Listener");
        if (!entry) {
            result = -2;
            return;
        }
        const std::byte bytes[] = {std::byte{'O'}, std::byte{'1'}, std::byte{0}};
        result =
            static_cast<int>(directory.SendCopyData(*entry, 7, bytes, std::chrono::seconds(20)));
        seenBySender = received.size();  // the UI thread has stopped touching it by now
    });
    ASSERT_TRUE(test::WaitWithEvents([&] { return result != -1; })) << "no acknowledgement";
    sender.join();
    ASSERT_EQ(result, static_cast<int>(CopyDataResult::Acknowledged));
    EXPECT_EQ(seenBySender, 1u);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].first, 7u);
    EXPECT_EQ(received[0].second, QByteArray("O1\0", 3));
    EXPECT_TRUE(onUiThread);
}

}  // namespace
}  // namespace zn::gui
