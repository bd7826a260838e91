#include "console/ConsoleLock.h"

#include <gtest/gtest.h>

#include "ConsoleWindowFakes.h"
#include "console/ConsoleTexts.h"

namespace zn::console {
namespace {

using test::FakeConsoleWindow;

const std::string kPrompt = "Prompt:" + std::string(texts::kPasswordPromptCaption);
const std::string kWrong = "Message:" + std::string(texts::kWrongPasswordText) + "|" +
                           std::string(texts::kLockedCaption) + "|3";

class ConsoleLockTest : public ::testing::Test {
protected:
    void LockWith(const std::string& password) {
        window.passwords.push_back(password);
        lock.OnLockCommand();
        ASSERT_TRUE(lock.IsLocked());
        window.ClearCalls();
    }

    FakeConsoleWindow window;
    ConsoleLock lock{window, window, window};
};

TEST_F(ConsoleLockTest, LockingStoresThePasswordChecksTheMenuTellsAndHides) {
    window.passwords.push_back("");
    lock.OnLockCommand();
    EXPECT_TRUE(lock.IsLocked());
    EXPECT_EQ(window.Calls(),
              (std::vector<std::string>{kPrompt, "Check:on",
                                        "Message:" + std::string(texts::kLockedText) + "|" +
                                            std::string(texts::kLockedCaption) + "|1",
                                        "Hide"}));
}

TEST_F(ConsoleLockTest, CancelNeverChangesTheLock) {
    lock.OnLockCommand();  // no answer queued: Cancel
    EXPECT_FALSE(lock.IsLocked());
    LockWith("pw");
    lock.OnLockCommand();
    lock.OnShowCommand();
    EXPECT_TRUE(lock.IsLocked());
    EXPECT_TRUE(window.CallsStartingWith("Message:").empty());
}

TEST_F(ConsoleLockTest, AnEmptyPasswordUnlocksAnEmptyLockAndTheCaseMatters) {
    LockWith("");
    window.passwords.push_back("");
    lock.OnShowCommand();
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_EQ(window.CallsStartingWith("Check:"), std::vector<std::string>{"Check:off"});

    LockWith("Secret");
    window.passwords.push_back("secret");
    lock.OnShowCommand();
    EXPECT_TRUE(lock.IsLocked());
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{kPrompt, kWrong}))
        << "a wrong password leaves the window hidden";
}

TEST_F(ConsoleLockTest, TheLockCommandWithTheRightPasswordUnlocksThenAsksForANewOne) {
    LockWith("pw");
    window.passwords.push_back("pw");
    lock.OnLockCommand();
    EXPECT_FALSE(lock.IsLocked());
    const auto calls = window.Calls();
    EXPECT_EQ(calls[1], "Check:off");
    EXPECT_EQ(calls[3], "Show");
    EXPECT_EQ(calls[4], "Raise");

    window.passwords.push_back("new");
    lock.OnLockCommand();
    EXPECT_TRUE(lock.IsLocked());
    window.passwords.push_back("pw");
    lock.OnLockCommand();
    EXPECT_TRUE(lock.IsLocked()) << "the old password no longer opens it";
}

TEST_F(ConsoleLockTest, TrayClickShowsFirstAndHidesAgainOnCancelOrWrongPassword) {
    LockWith("pw");
    lock.OnTrayLeftClick();
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"Show", "Raise", kPrompt, "Hide"}));
    window.ClearCalls();
    window.passwords.push_back("no");
    lock.OnTrayLeftClick();
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"Show", "Raise", kPrompt, kWrong, "Hide"}));
    EXPECT_FALSE(window.IsShown());
}

TEST_F(ConsoleLockTest, FocusLossAsksOnlyWhileLockedAndShown) {
    lock.OnFocusLost();
    EXPECT_TRUE(window.Calls().empty()) << "unlocked";
    LockWith("pw");
    lock.OnFocusLost();
    EXPECT_TRUE(window.Calls().empty()) << "a hidden window has no focus to lose";

    window.SetShown(true);
    window.passwords.push_back("no");
    lock.OnFocusLost();
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{kPrompt, kWrong}));
    window.ClearCalls();
    window.passwords.push_back("pw");
    lock.OnFocusLost();
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_EQ(window.Calls().back(), "Raise");
    EXPECT_EQ(window.Calls()[window.Calls().size() - 2], "ShowNormal");
}

TEST_F(ConsoleLockTest, APromptNeverStacksOnItself) {
    LockWith("pw");
    window.SetShown(true);
    // The prompt takes the focus and the tray is clicked while it is open.
    window.duringPrompt = [this] {
        lock.OnFocusLost();
        lock.OnTrayLeftClick();
        lock.OnShowCommand();
        lock.OnLockCommand();
    };
    window.passwords.push_back("no");
    lock.OnFocusLost();
    EXPECT_EQ(window.CallsStartingWith("Prompt:").size(), 1u);

    // The message box after a wrong password takes the focus too; a later loss asks again.
    window.duringPrompt = nullptr;
    window.ClearCalls();
    window.passwords.push_back("pw");
    lock.OnFocusLost();
    EXPECT_EQ(window.CallsStartingWith("Prompt:").size(), 1u);
    EXPECT_FALSE(lock.IsLocked());
}

}  // namespace
}  // namespace zn::console
