#include "NotificationConfigDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <string>

#include "LogCapture.h"
#include "PageTestSupport.h"
#include "console/ConsoleSettings.h"
#include "gui/PageHost.h"

namespace zn::config {
namespace {

using test::DialogLog;
using test::RunScript;

// The real page, offscreen, writing into a sandbox as the console's folder.
class NotificationConfigDlgTest : public ::testing::Test {
protected:
    std::unique_ptr<NotificationConfigDlg> Open() {
        auto dialog = std::make_unique<NotificationConfigDlg>(m_page, m_registry, nullptr);
        dialog->show();
        return dialog;
    }

    template <typename Widget>
    static Widget& Child(NotificationConfigDlg& dialog, const char* name) {
        auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
    static QWebEngineView& Preview(NotificationConfigDlg& dialog) {
        return *dialog.findChild<gui::PageHost*>()->View();
    }
    static void Click(NotificationConfigDlg& dialog, const char* name) {
        Child<QAbstractButton>(dialog, name).click();
    }

    // The preview's text once it shows the page file with this text.
    static bool PreviewShows(NotificationConfigDlg& dialog, const QString& text) {
        return zn::test::WaitWithEvents([&] {
            return RunScript(Preview(dialog),
                             QStringLiteral("document.body ? document.body.innerText : ''"))
                .toString()
                .contains(text);
        });
    }

    std::string Page() const { return zn::test::ReadFile(m_page).value_or("<none>"); }

    zn::test::Sandbox m_sandbox;
    Registry m_registry{m_sandbox.RegistryFolder()};
    std::filesystem::path m_page = m_sandbox.Path() / "program" / "RequestReceived.html";
};

TEST_F(NotificationConfigDlgTest, OpensWithNothingChosenAndThePreviewOfAnExistingPageOnly) {
    std::filesystem::create_directories(m_page.parent_path());
    {
        auto dialog = Open();
        EXPECT_FALSE(Child<QLineEdit>(*dialog, "ownText").isEnabled());
        for (const char* name : {"firstPreset", "secondPreset", "ownChoice"}) {
            EXPECT_FALSE(Child<QRadioButton>(*dialog, name).isChecked()) << name;
        }
        EXPECT_TRUE(Preview(*dialog).url().isEmpty()) << "a preview without a page";
    }
    m_sandbox.WriteFile("program/RequestReceived.html", NoticePageBytes("旧的提示", false));
    auto dialog = Open();
    EXPECT_TRUE(PreviewShows(*dialog, QStringLiteral("旧的提示")));
}

TEST_F(NotificationConfigDlgTest, EachChoiceWritesItsPageAndThePreviewShowsIt) {
    std::filesystem::create_directories(m_page.parent_path());
    auto dialog = Open();

    Click(*dialog, "set");
    EXPECT_EQ(Page(), NoticePageBytes("", false)) << "no choice yet: an empty message";

    Click(*dialog, "firstPreset");
    Click(*dialog, "set");
    EXPECT_EQ(Page(), NoticePageBytes(kFirstPresetText, false));
    EXPECT_TRUE(PreviewShows(*dialog, QString::fromUtf8(kFirstPresetText.data())));

    Click(*dialog, "secondPreset");
    Click(*dialog, "set");
    EXPECT_TRUE(PreviewShows(*dialog, QString::fromUtf8(kSecondPresetText.data())))
        << "the preview did not follow the new page";

    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QTest::mouseClick(&Child<QRadioButton>(*dialog, "ownChoice"), Qt::LeftButton);
    QLineEdit& own = Child<QLineEdit>(*dialog, "ownText");
    ASSERT_TRUE(own.isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), &own) << "the own text did not take the focus";
    own.insert(QStringLiteral("  请到<i>3号</i>窗口 & 取货  "));
    // Enter is the dialog's OK, which writes the page and keeps the task open.
    QTest::keyClick(&own, Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Page(), NoticePageBytes("请到<i>3号</i>窗口 & 取货", false));
    EXPECT_TRUE(PreviewShows(*dialog, QStringLiteral("请到3号窗口 & 取货")))
        << "the markup was escaped or the page decoded wrongly";

    Click(*dialog, "firstPreset");
    EXPECT_FALSE(own.isEnabled());
}

TEST_F(NotificationConfigDlgTest, AnOperatorLoginPageAddsTheShopFrame) {
    auto key = m_registry.CreateKey(RegistryRoot::LocalMachine, console::kConsoleKeyPath);
    ASSERT_TRUE(key && key->SetString("LoginPage", "http://bo.test/wb/murvel.jsp"));
    std::filesystem::create_directories(m_page.parent_path());
    auto dialog = Open();
    Click(*dialog, "secondPreset");
    Click(*dialog, "set");
    EXPECT_EQ(Page(), NoticePageBytes(kSecondPresetText, true));
}

TEST_F(NotificationConfigDlgTest, OwnTextOfSpacesIsRefusedAndTheOldPageStays) {
    m_sandbox.WriteFile("program/RequestReceived.html", "old");
    DialogLog log(m_sandbox);
    auto dialog = Open();
    Click(*dialog, "ownChoice");
    QTest::keyClicks(&Child<QLineEdit>(*dialog, "ownText"), QStringLiteral("    "));
    Click(*dialog, "set");

    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0]["text"].toString(), QStringLiteral("提示信息内容不能为空！"));
    EXPECT_EQ(log.Lines()[0]["caption"].toString(), QStringLiteral("错误"));
    EXPECT_EQ(log.Lines()[0]["icon"].toString(), QStringLiteral("error"));
    EXPECT_EQ(Page(), "old");
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(NotificationConfigDlgTest, APageThatCannotBeWrittenIsToldWithTheFileAndWhy) {
    DialogLog dialogs(m_sandbox);
    auto dialog = Open();  // its folder does not exist
    Click(*dialog, "firstPreset");
    Click(*dialog, "set");
    ASSERT_EQ(dialogs.Lines().size(), 1u);
    const QString text = dialogs.Lines()[0]["text"].toString();
    EXPECT_TRUE(text.startsWith(QStringLiteral("错误：无法保存文件"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(m_page.string())));
    EXPECT_TRUE(text.contains(QStringLiteral("No such file or directory")));
    EXPECT_EQ(dialogs.Lines()[0]["caption"].toString(), QStringLiteral("错误"));
    EXPECT_EQ(dialogs.Lines()[0]["icon"].toString(), QStringLiteral("error"));
    EXPECT_TRUE(Preview(*dialog).url().isEmpty());
    EXPECT_TRUE(dialog->isVisible());
}

// Keys as a desktop delivers them, to the widget that has the focus: here the preview's browser,
// which takes every key it is given.
TEST_F(NotificationConfigDlgTest, EscapeWithThePreviewFocusedEndsThePageWithoutAQuestion) {
    m_sandbox.WriteFile("program/RequestReceived.html", NoticePageBytes("旧的提示", false));
    DialogLog log(m_sandbox);
    auto dialog = Open();
    ASSERT_TRUE(PreviewShows(*dialog, QStringLiteral("旧的提示")));
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    Preview(*dialog).setFocus();
    QWidget* focused = QApplication::focusWidget();
    ASSERT_TRUE(focused == &Preview(*dialog) || Preview(*dialog).isAncestorOf(focused));
    QTest::keyClick(focused, Qt::Key_Escape);
    ASSERT_TRUE(zn::test::WaitWithEvents([&] { return !dialog->isVisible(); }));
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->WentBack());
    EXPECT_TRUE(log.Lines().empty()) << "no exit question is bound to this page";
}

TEST_F(NotificationConfigDlgTest, BackReturnsToTheWelcomePageAndExitAsksFirst) {
    DialogLog log(m_sandbox, "no,yes");
    auto dialog = Open();
    Click(*dialog, "exit");
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0]["text"].toString(), QStringLiteral("您是否确认要退出配置程序?"));
    EXPECT_TRUE(dialog->isVisible()) << "No left the page";
    Click(*dialog, "exit");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->WentBack());

    auto second = Open();
    Click(*second, "back");
    EXPECT_FALSE(second->isVisible());
    EXPECT_TRUE(second->WentBack());
    EXPECT_EQ(log.Lines().size(), 2u) << "back asked a question";
}

}  // namespace
}  // namespace zn::config
