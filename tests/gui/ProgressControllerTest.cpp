#include "gui/ProgressController.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>

#include <atomic>
#include <thread>
#include <vector>

#include "QtWait.h"
#include "WaitFor.h"

namespace zn::gui {
namespace {

const QString kText = QStringLiteral("正在连接客户端，请稍候。谢谢！");

TEST(ProgressControllerTest, WorkerOpensAndClosesWhileTheUiRuns) {
    ProgressController controller;
    std::atomic<ProgressController::Ticket> ticket = 0;
    std::atomic<bool> checked = false;
    std::atomic<bool> closed = false;
    std::thread worker([&] {
        ticket = controller.Open(kText);
        test::WaitFor([&] { return checked.load(); }, std::chrono::seconds(20));
        controller.Close(ticket);
        closed = true;
    });
    const bool opened = test::WaitWithEvents([&] { return ticket != 0; });
    const ProgressWindow* window = controller.Window(ticket);
    EXPECT_TRUE(opened) << "Open did not return";
    if (window != nullptr) {
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->Text(), kText);
    } else {
        ADD_FAILURE() << "no window after Open returned";
    }
    checked = true;
    EXPECT_TRUE(test::WaitWithEvents([&] { return closed.load(); })) << "Close did not return";
    worker.join();
    EXPECT_EQ(controller.OpenCount(), 0u);
}

TEST(ProgressControllerTest, UiThreadCallsActDirectly) {
    ProgressController controller(ProgressWindow::kSeatClientSize);
    const auto ticket = controller.Open(kText);
    ASSERT_NE(ticket, 0u);
    ASSERT_NE(controller.Window(ticket), nullptr);
    EXPECT_TRUE(controller.Window(ticket)->isVisible());
    controller.Close(ticket);
    controller.Close(ticket);
    controller.Close(0);
    EXPECT_EQ(controller.OpenCount(), 0u);
}

TEST(ProgressControllerTest, BarFillsAndStartsAgain) {
    ProgressController controller;
    const auto ticket = controller.Open(kText);
    const ProgressWindow* window = controller.Window(ticket);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Position(), 0);
    int highest = 0;
    ASSERT_TRUE(test::WaitWithEvents([&] {
        highest = std::max(highest, window->Position());
        return highest == 100 && window->Position() == 0;
    })) << "the bar did not fill and start again, highest "
        << highest;
    controller.Close(ticket);
}

TEST(ProgressControllerTest, SeveralWorkersAtOnce) {
    ProgressController controller;
    constexpr int kWorkers = 6;
    std::atomic<int> finished = 0;
    std::atomic<int> shown = 0;
    std::vector<std::thread> workers;
    for (int i = 0; i < kWorkers; ++i) {
        workers.emplace_back([&] {
            for (int round = 0; round < 5; ++round) {
                const auto ticket = controller.Open(kText);
                if (ticket != 0) {
                    ++shown;
                }
                controller.Close(ticket);
            }
            ++finished;
        });
    }
    EXPECT_TRUE(test::WaitWithEvents([&] { return finished == kWorkers; }))
        << "workers still waiting";
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(shown, kWorkers * 5);
    EXPECT_EQ(controller.OpenCount(), 0u);
}

TEST(UiHandOverTest, CancelReleasesAWaitingWorkerAndTheJobNeverRuns) {
    UiHandOver handOver;
    std::atomic<bool> ran = false;
    std::atomic<int> result = -1;
    std::thread worker([&] { result = handOver.Run([&] { ran = true; }) ? 1 : 0; });
    // The UI thread does not run its loop, so the job stays queued.
    usleep(50'000);
    EXPECT_EQ(result, -1);
    handOver.Cancel();
    EXPECT_TRUE(test::WaitFor([&] { return result != -1; })) << "the worker was not released";
    worker.join();
    QApplication::processEvents();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(ran);
    // Later jobs from other threads are refused at once.
    std::thread late([&] { result = handOver.Run([&] { ran = true; }) ? 1 : 0; });
    late.join();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(ran);
}

TEST(ProgressControllerTest, OpenAfterTheEventLoopEndedReturnsAtOnce) {
    // The loop's end is process-wide (it also ends Qt WebEngine), so it runs in a fresh process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ProgressController controller;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            QApplication::exec();
            std::atomic<int> ticket = -1;
            std::thread worker([&] { ticket = static_cast<int>(controller.Open(kText)); });
            const bool returned = test::WaitFor([&] { return ticket != -1; });
            if (!returned) {
                _exit(2);  // the worker hangs; do not wait for it
            }
            worker.join();
            _exit(ticket == 0 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zn::gui
