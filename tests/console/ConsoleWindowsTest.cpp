#include <gtest/gtest.h>

#include "ZentrovaNubraConsoleDlg.h"

namespace zn::console {
namespace {

TEST(ConsoleWindowTest, EveryWayOfShowingBringsAMinimisedWindowBack) {
    CZentrovaNubraConsoleDlg window;
    window.Show();
    window.Minimize();
    window.Show();
    EXPECT_FALSE(window.isMinimized()) << "the tray's show";
    EXPECT_TRUE(window.IsShown());

    window.Minimize();
    window.ShowMaximized();
    EXPECT_FALSE(window.isMinimized()) << "the popup's click";

    window.resize(300, 200);
    window.ShowNormal();
    EXPECT_FALSE(window.isMaximized());
    EXPECT_GE(window.width(), 800) << "the login form is cut below this";
    EXPECT_GE(window.height(), 600);
}

}  // namespace
}  // namespace zn::console
