#include "WizardShell.h"

#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include <vector>

#include "ConfigSeat3Dlg.h"
#include "ConfigUiTest.h"
#include "ModalDriver.h"
#include "ProxyIPConfigDlg.h"
#include "SeatConfig2Dlg.h"
#include "SeatConfigDlg.h"

namespace zn::config {
namespace {

using test::Click;
using test::WhenShown;

class WizardShellTest : public test::ConfigUiTest {
protected:
    // The tool's pages, the seat list in the sandbox.
    WizardShell Shell() {
        return WizardShell([this](WizardChoice choice,
                                  QWidget* parent) -> std::unique_ptr<TaskPage> {
            if (choice == WizardChoice::SeatMapping) {
                return std::make_unique<SeatConfigDlg>(parent, m_sandbox.Path() / "SeatList.xml");
            }
            return CreateTaskPage(choice, parent);
        });
    }

    static void Choose(WizardWelcomeDlg& welcome, const char* option) {
        welcome.findChild<QRadioButton*>(QString::fromLatin1(option))->click();
    }

    static bool NothingChosen(WizardWelcomeDlg& welcome) {
        for (const QRadioButton* option : welcome.findChildren<QRadioButton*>()) {
            if (option->isChecked()) {
                return false;
            }
        }
        return welcome.Choice() == WizardChoice::None;
    }
};

TEST_F(WizardShellTest, WelcomePageOffersTheFourTasksInTheirOrder) {
    WizardWelcomeDlg welcome;
    const std::vector<std::pair<const char*, WizardChoice>> options = {
        {"choiceServerAddress", WizardChoice::ServerAddress},
        {"choiceSeatMapping", WizardChoice::SeatMapping},
        {"choiceNoticePage", WizardChoice::NoticePage},
        {"choiceAlertSound", WizardChoice::AlertSound}};
    EXPECT_EQ(welcome.findChildren<QRadioButton*>().size(), 4);
    for (const auto& [name, choice] : options) {
        Choose(welcome, name);
        EXPECT_EQ(welcome.Choice(), choice) << name;
    }
    EXPECT_FALSE(welcome.windowFlags() & Qt::WindowSystemMenuHint) << "no system menu";
}

TEST_F(WizardShellTest, EveryPageOpensAtItsTemplatesSize) {
    WizardWelcomeDlg welcome;
    welcome.show();
    EXPECT_EQ(welcome.size(), QSize(460, 330));
    // Laid out at its smallest, the page wrapped a description into three lines, the last one a
    // single character.
    for (const QLabel* description : welcome.findChildren<QLabel*>()) {
        const int width = description->contentsRect().width() - description->indent();
        const int height =
            description->fontMetrics()
                .boundingRect(QRect(0, 0, width, 0), Qt::TextWordWrap, description->text())
                .height();
        EXPECT_LT(height, 5 * description->fontMetrics().lineSpacing() / 2)
            << "more than two lines: " << description->objectName().toStdString();
    }

    ProxyIPConfigDlg server(nullptr);
    SeatConfigDlg seats(nullptr, m_sandbox.Path() / "SeatList.xml");
    SeatConfig2Dlg seat(nullptr);
    ConfigSeat3Dlg batch(nullptr);
    const std::pair<QDialog*, QSize> pages[] = {
        {&server, {420, 170}}, {&seats, {500, 360}}, {&seat, {300, 120}}, {&batch, {340, 240}}};
    // At least: a font that needs more widens a page rather than cutting its content.
    for (const auto& [page, size] : pages) {
        page->show();
        EXPECT_GE(page->width(), size.width()) << page->metaObject()->className();
        EXPECT_GE(page->height(), size.height()) << page->metaObject()->className();
    }
}

TEST_F(WizardShellTest, NextWithoutAChoiceAndBackBothBringAFreshWelcomePage) {
    Answer("ok,no,yes");
    std::vector<std::string> steps;
    WhenShown<WizardWelcomeDlg>([&](WizardWelcomeDlg& first) {
        steps.push_back("welcome");
        WhenShown<WizardWelcomeDlg>([&](WizardWelcomeDlg& second) {
            steps.push_back(NothingChosen(second) ? "fresh welcome" : "welcome with a choice");
            Choose(second, "choiceSeatMapping");
            WhenShown<SeatConfigDlg>([&](SeatConfigDlg& page) {
                steps.push_back("seat mapping");
                WhenShown<WizardWelcomeDlg>([&](WizardWelcomeDlg& third) {
                    steps.push_back(NothingChosen(third) ? "fresh welcome"
                                                         : "welcome with a choice");
                    Click(third, "cancel");  // answered No: the page stays
                    steps.push_back(third.isVisible() ? "stayed" : "closed");
                    Click(third, "cancel");  // Yes
                });
                Click(page, "back");
            });
            Click(second, "next");
        });
        Click(first, "next");
    });
    Shell().Run();

    EXPECT_EQ(steps, (std::vector<std::string>{"welcome", "fresh welcome", "seat mapping",
                                               "fresh welcome", "stayed"}));
    EXPECT_TRUE(Showed("\"caption\":\"ZentrovaNubraConfig\",\"text\":\"功能尚未实现!\""))
        << Dialogs();
    EXPECT_TRUE(Showed("\"caption\":\"确认退出\",\"text\":\"您是否确认要退出配置程序?\""));
}

TEST_F(WizardShellTest, ATaskPageClosedAnyOtherWayThanBackEndsTheProgram) {
    // The server address page of the real factory: its cancel confirmed.
    Answer("yes");
    WhenShown<WizardWelcomeDlg>([&](WizardWelcomeDlg& welcome) {
        Choose(welcome, "choiceServerAddress");
        WhenShown<ProxyIPConfigDlg>([&](ProxyIPConfigDlg& page) { Click(page, "cancel"); });
        Click(welcome, "next");
    });
    Shell().Run();
    EXPECT_TRUE(Showed("您是否确认要退出配置程序?"));

    // The seat mapping page closed with OK (saved).
    Answer("yes");
    WhenShown<WizardWelcomeDlg>([&](WizardWelcomeDlg& welcome) {
        Choose(welcome, "choiceSeatMapping");
        WhenShown<SeatConfigDlg>([&](SeatConfigDlg& page) { Click(page, "finish"); });
        Click(welcome, "next");
    });
    Shell().Run();
    EXPECT_TRUE(Showed("成功完成客户机座位号与IP配置！"));
    EXPECT_TRUE(std::filesystem::exists(m_sandbox.Path() / "SeatList.xml"));
}

TEST_F(WizardShellTest, EscapeAndTheCloseBoxOfATaskPageAskFirst) {
    Answer("no,yes");
    WhenShown<WizardWelcomeDlg>([&](WizardWelcomeDlg& welcome) {
        Choose(welcome, "choiceSeatMapping");
        WhenShown<SeatConfigDlg>([&](SeatConfigDlg& page) {
            page.close();  // No: stays
            EXPECT_TRUE(page.isVisible());
            QTest::keyClick(&page, Qt::Key_Escape);  // Yes: ends
        });
        Click(welcome, "next");
    });
    Shell().Run();
    const std::string dialogs = Dialogs();
    EXPECT_NE(dialogs.find("\"answer\":\"no\""), std::string::npos) << dialogs;
    EXPECT_NE(dialogs.find("\"answer\":\"yes\""), std::string::npos) << dialogs;
}

}  // namespace
}  // namespace zn::config
