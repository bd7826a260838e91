#include <gtest/gtest.h>

#include <QDialog>
#include <QImage>
#include <QLayout>
#include <QPixmap>

#include <memory>

#include "PasswordDlg.h"
#include "TaskbarNotifierWidget.h"
#include "ViewSeatDlg.h"
#include "ZentrovaNubraConsoleDlg.h"
#include "console/TaskbarNotifier.h"

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

// Fixed-size dialogs: no maximise button, and the layout fills them to the bottom.
void ExpectFixedSize(QDialog& dialog) {
    dialog.show();
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint)
        << dialog.objectName().toStdString();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << dialog.objectName().toStdString();
    int bottom = 0;
    for (const QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        bottom = std::max(bottom, child->geometry().bottom() + 1);
    }
    EXPECT_EQ(bottom + dialog.layout()->contentsMargins().bottom(), dialog.height())
        << dialog.objectName().toStdString() << ": a strip at the bottom";
    dialog.hide();
}

TEST(ConsoleWindowTest, FixedSizeDialogsHaveNoMaximiseButtonAndNoStripAtTheBottom) {
    CPasswordDlg password(nullptr);
    ExpectFixedSize(password);
    CViewSeatDlg viewer(
        "10.0.0.5", [](const std::string&) { return std::string("A1"); }, nullptr);
    ExpectFixedSize(viewer);
}

// The original draws a multi-line text from the top of its area: a vertical centring has no
// effect there.
TEST(NotifierPaintTest, TheTextStartsAtTheTopOfItsArea) {
    QPixmap skin(148, 120);
    skin.fill(Qt::white);
    TaskbarNotifierWidget widget(skin);
    CTaskbarNotifier notifier(widget, {});
    widget.Bind(notifier);
    notifier.SetSkinSize(148, 120);
    notifier.SetTextFonts("Arial", 90, 0, 0);
    notifier.SetTextColors(0, 0);
    notifier.SetTextArea({10, 40, 138, 120});
    notifier.ShowText("新订单", 500, 8000, 500, 3);
    widget.resize(148, 120);
    const QImage image = widget.grab().toImage();
    int firstInk = -1;
    for (int y = 0; y < image.height() && firstInk < 0; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).lightness() < 128) {
                firstInk = y;
                break;
            }
        }
    }
    EXPECT_GE(firstInk, 40);
    EXPECT_LT(firstInk, 40 + widget.fontMetrics().height()) << "the text is centred vertically";
}

}  // namespace
}  // namespace zn::console
