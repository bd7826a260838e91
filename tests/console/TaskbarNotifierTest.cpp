#include "console/TaskbarNotifier.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ConsoleWindowFakes.h"
#include "WaitFor.h"

namespace zn::console {
namespace {

using test::FakeNotifierWidget;

class TaskbarNotifierTest : public ::testing::Test {
protected:
    TaskbarNotifierTest() {
        notifier.SetSkinSize(148, 120);
        notifier.SetTextFonts("Arial", 90, 0, 4);
        notifier.SetTextColors(0, 0x00C80000);
        notifier.SetTextArea({10, 40, 138, 120});
    }
    void Tick(int id, int times = 1) {
        for (int i = 0; i < times; ++i) {
            notifier.OnTimer(id);
        }
    }
    void RunToWaiting() {
        notifier.ShowText("first", 500, 8000, 500, 3);
        Tick(kAppearTimer, 41);
        ASSERT_EQ(notifier.State(), NotifierState::Waiting);
    }

    FakeNotifierWidget widget;
    int clicks = 0;
    CTaskbarNotifier notifier{widget, [this] { ++clicks; }};
};

TEST(NotifierPlacementTest, TheTaskbarEdgeDecidesFirstMatchWins) {
    EXPECT_EQ(ChooseNotifierPlacement({0, 0, 984, 768}, 1024, 768), NotifierPlacement::Right);
    EXPECT_EQ(ChooseNotifierPlacement({40, 0, 1024, 768}, 1024, 768), NotifierPlacement::Left);
    EXPECT_EQ(ChooseNotifierPlacement({0, 30, 1024, 768}, 1024, 768), NotifierPlacement::Top);
    EXPECT_EQ(ChooseNotifierPlacement({0, 0, 1024, 738}, 1024, 768), NotifierPlacement::Bottom);
    EXPECT_EQ(ChooseNotifierPlacement({0, 0, 1024, 768}, 1024, 768), NotifierPlacement::Bottom)
        << "no taskbar or an auto-hidden one";
    EXPECT_EQ(ChooseNotifierPlacement({40, 30, 1024, 768}, 1024, 768), NotifierPlacement::Left)
        << "a narrower work area wins over a lower one";
}

TEST_F(TaskbarNotifierTest, TheConsoleSkinSlidesInWithFortyStepsOfTwelveMsAndOneCompletingTick) {
    notifier.ShowText("收到", 500, 8000, 500, 3);
    EXPECT_TRUE(widget.shown);
    EXPECT_EQ(widget.topmostCalls, 1);
    EXPECT_EQ(notifier.State(), NotifierState::Appearing);
    EXPECT_EQ(notifier.ShowStepMs(), 12u);
    EXPECT_EQ(notifier.HideStepMs(), 12u);
    EXPECT_EQ(widget.timers, (std::map<int, std::uint32_t>{{kAppearTimer, 12}}));

    Tick(kAppearTimer);
    EXPECT_EQ(widget.geometry, (NotifierRect{876, 735, 1024, 738}));
    Tick(kAppearTimer, 39);
    EXPECT_EQ(widget.geometry, (NotifierRect{876, 618, 1024, 738})) << "fully shown";
    EXPECT_EQ(notifier.State(), NotifierState::Appearing) << "completion comes one tick later";
    Tick(kAppearTimer);
    EXPECT_EQ(notifier.State(), NotifierState::Waiting);
    EXPECT_EQ(widget.timers, (std::map<int, std::uint32_t>{{kWaitTimer, 8000}}));

    Tick(kWaitTimer);
    EXPECT_EQ(notifier.State(), NotifierState::Disappearing);
    EXPECT_EQ(widget.timers, (std::map<int, std::uint32_t>{{kDisappearTimer, 12}}));
    Tick(kDisappearTimer, 40);
    EXPECT_EQ(widget.geometry, (NotifierRect{876, 738, 1024, 738}));
    EXPECT_EQ(notifier.State(), NotifierState::Disappearing);
    Tick(kDisappearTimer);
    EXPECT_EQ(notifier.State(), NotifierState::Idle);
    EXPECT_FALSE(widget.shown);
    EXPECT_EQ(widget.geometry, (NotifierRect{0, 0, 0, 0}));
    EXPECT_TRUE(widget.timers.empty());
}

TEST_F(TaskbarNotifierTest, EachPlacementStartsAtItsCornerAndMovesItsEdge) {
    struct Case {
        NotifierRect workArea;
        NotifierPlacement placement;
        NotifierRect afterOneStep;
        NotifierRect shown;
        std::uint32_t stepMs;
    };
    const Case cases[] = {
        {{0, 0, 984, 768},
         NotifierPlacement::Right,
         {981, 648, 984, 768},
         {836, 648, 984, 768},
         10},
        {{40, 0, 1024, 768}, NotifierPlacement::Left, {40, 648, 43, 768}, {40, 648, 188, 768}, 10},
        {{0, 30, 1024, 768}, NotifierPlacement::Top, {876, 30, 1024, 33}, {876, 30, 1024, 150}, 12},
        {{0, 0, 1024, 738},
         NotifierPlacement::Bottom,
         {876, 735, 1024, 738},
         {876, 618, 1024, 738},
         12},
    };
    for (const Case& c : cases) {
        FakeNotifierWidget fresh;
        fresh.workArea = c.workArea;
        CTaskbarNotifier popup(fresh, {});
        popup.SetSkinSize(148, 120);
        popup.ShowText("x", 500, 8000, 500, 3);
        SCOPED_TRACE(static_cast<int>(c.placement));
        EXPECT_EQ(popup.Placement(), c.placement);
        EXPECT_EQ(popup.ShowStepMs(), c.stepMs);
        popup.OnTimer(kAppearTimer);
        EXPECT_EQ(fresh.geometry, c.afterOneStep);
        for (int i = 0; i < 60 && popup.State() == NotifierState::Appearing; ++i) {
            popup.OnTimer(kAppearTimer);
        }
        EXPECT_EQ(fresh.geometry, c.shown);
        popup.OnTimer(kWaitTimer);
        for (int i = 0; i < 60 && popup.State() == NotifierState::Disappearing; ++i) {
            popup.OnTimer(kDisappearTimer);
        }
        EXPECT_EQ(popup.State(), NotifierState::Idle);
    }
}

TEST_F(TaskbarNotifierTest, ANewTextWhileAppearingOnlyReplacesTheText) {
    notifier.ShowText("first", 500, 8000, 500, 3);
    Tick(kAppearTimer, 5);
    notifier.ShowText("second", 1000, 40000, 1000, 3);
    EXPECT_EQ(notifier.State(), NotifierState::Appearing);
    EXPECT_EQ(notifier.Paint().text, "second");
    EXPECT_EQ(widget.timers, (std::map<int, std::uint32_t>{{kAppearTimer, 12}}))
        << "the slide keeps the intervals it started with";
    EXPECT_EQ(notifier.Geometry(), (NotifierRect{876, 723, 1024, 738}));
}

TEST_F(TaskbarNotifierTest, ANewTextWhileWaitingRestartsTheFullWaitingTime) {
    RunToWaiting();
    widget.timers.clear();
    notifier.ShowText("second", 500, 40000, 500, 3);
    EXPECT_EQ(notifier.State(), NotifierState::Waiting);
    EXPECT_EQ(widget.timers, (std::map<int, std::uint32_t>{{kWaitTimer, 40000}}));
    EXPECT_EQ(notifier.Paint().text, "second");
}

TEST_F(TaskbarNotifierTest, ANewTextWhileDisappearingBringsThePopupBackFullyShown) {
    RunToWaiting();
    Tick(kWaitTimer);
    Tick(kDisappearTimer, 10);
    notifier.ShowText("second", 500, 40000, 500, 3);
    EXPECT_EQ(notifier.State(), NotifierState::Waiting);
    EXPECT_EQ(widget.geometry, (NotifierRect{876, 618, 1024, 738}));
    EXPECT_EQ(widget.timers, (std::map<int, std::uint32_t>{{kWaitTimer, 40000}}));
}

TEST_F(TaskbarNotifierTest, ZeroStepsAndZeroIncrementsDoNotDivideByZero) {
    FakeNotifierWidget fresh;
    CTaskbarNotifier noSkin(fresh, {});
    noSkin.ShowText("x", 500, 8000, 500, 3);
    EXPECT_EQ(noSkin.ShowStepMs(), 500u) << "no skin: one step";
    noSkin.OnTimer(kAppearTimer);
    EXPECT_EQ(noSkin.State(), NotifierState::Waiting);

    notifier.ShowText("x", 500, 8000, 500, 200);
    EXPECT_EQ(notifier.ShowStepMs(), 500u) << "an increment over the skin: one step";
    notifier.HidePopup();
    notifier.ShowText("x", 500, 8000, 500, 0);
    EXPECT_EQ(notifier.ShowStepMs(), 4u) << "a zero increment moves one pixel a step";
    EXPECT_EQ(widget.timers[kAppearTimer], kMinimumTimerMs);
    Tick(kAppearTimer, 121);
    EXPECT_EQ(notifier.State(), NotifierState::Waiting);
}

TEST_F(TaskbarNotifierTest, HoverChangesTheLookAndAClickIsPostedWithoutChangingTheSchedule) {
    notifier.ShowText("x", 500, 8000, 500, 3);
    EXPECT_FALSE(notifier.Paint().style->underline);
    EXPECT_EQ(notifier.Paint().style->colour, 0u);
    notifier.OnMouseHover();
    EXPECT_TRUE(notifier.Paint().style->underline);
    EXPECT_EQ(notifier.Paint().style->colour, 0x00C80000u);
    EXPECT_EQ(notifier.Paint().style->face, "Arial");
    EXPECT_EQ(notifier.Paint().style->tenthsOfPoint, 90);
    notifier.OnMouseLeave();
    EXPECT_FALSE(notifier.Paint().style->underline);

    notifier.OnClick();
    EXPECT_EQ(clicks, 0) << "the click is posted, not handled inside the popup";
    widget.RunPosted();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(notifier.State(), NotifierState::Appearing);
    EXPECT_EQ(widget.timers.count(kAppearTimer), 1u);
}

TEST_F(TaskbarNotifierTest, TextsFromWorkersAreAllAnnouncedAndTheNewestOfABatchIsShown) {
    std::vector<std::string> announced;
    notifier.SetAnnouncementObserver([&](const std::string& text) { announced.push_back(text); });
    std::thread worker([this] {
        for (int i = 0; i < 3; ++i) {
            notifier.ShowTextFromAnyThread("order " + std::to_string(i), 500, 8000, 500, 3);
        }
    });
    worker.join();  // queued without waiting for the UI thread
    EXPECT_TRUE(announced.empty());

    widget.RunPosted();
    EXPECT_EQ(announced, (std::vector<std::string>{"order 0", "order 1", "order 2"}));
    EXPECT_EQ(notifier.Paint().text, "order 2");
    EXPECT_EQ(widget.topmostCalls, 1) << "the UI thread drew every text of the batch";

    notifier.CloseQueue();
    notifier.ShowTextFromAnyThread("after the end", 500, 8000, 500, 3);  // must not wait
    widget.RunPosted();
    EXPECT_EQ(announced.size(), 3u);
}

// A UI thread that takes no text for a while must not hold the request workers: a full queue
// folds the rest into one text that counts them.
TEST_F(TaskbarNotifierTest, AFullQueueFoldsLaterTextsInsteadOfHoldingTheWorker) {
    std::vector<std::string> announced;
    notifier.SetAnnouncementObserver([&](const std::string& text) { announced.push_back(text); });
    constexpr std::size_t kTexts = CTaskbarNotifier::kMaxQueuedTexts + 4;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        for (std::size_t i = 0; i < kTexts; ++i) {
            notifier.ShowTextFromAnyThread("order " + std::to_string(i), 500,
                                           i + 1 == kTexts ? 40000 : 8000, 500, 3);
        }
        done = true;
    });
    const bool returned = zn::test::WaitFor([&] { return done.load(); }, std::chrono::seconds(2));
    while (!done) {
        widget.RunPosted();  // frees a worker that waits, so that the test ends
    }
    worker.join();
    EXPECT_TRUE(returned) << "a worker waited for the UI thread";

    widget.RunPosted();
    ASSERT_EQ(announced.size(), CTaskbarNotifier::kMaxQueuedTexts);
    EXPECT_EQ(announced[CTaskbarNotifier::kMaxQueuedTexts - 2], "order 254");
    EXPECT_EQ(announced.back(), "又收到 5 个新的请求，请在“今日订单”和“今日顾客消息”中查看！")
        << "order 255 and the four after it";
    EXPECT_EQ(notifier.Paint().text, announced.back());
}

TEST_F(TaskbarNotifierTest, TheTextAreaAndSkinSlideWithTheEdgeForTopAndLeft) {
    widget.workArea = {0, 30, 1024, 768};
    notifier.ShowText("x", 500, 8000, 500, 3);
    Tick(kAppearTimer, 2);
    const NotifierPaint top = notifier.Paint();
    EXPECT_EQ(top.skinY, 6 - 120);
    EXPECT_EQ(top.textArea, (NotifierRect{10, 40 + 6 - 120, 138, 6}));

    FakeNotifierWidget bottom;
    CTaskbarNotifier rising(bottom, {});
    rising.SetSkinSize(148, 120);
    rising.ShowText("x", 500, 8000, 500, 3);
    rising.OnTimer(kAppearTimer);
    EXPECT_EQ(rising.Paint().skinX, 0);
    EXPECT_EQ(rising.Paint().skinY, 0);
}

}  // namespace
}  // namespace zn::console
