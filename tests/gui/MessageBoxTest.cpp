#include "gui/MessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "QtWait.h"
#include "Sandbox.h"

namespace zn::gui {
namespace {

using namespace std::chrono_literals;

QMessageBox* ShownMessageBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

class MessageBoxTest : public testing::Test {
protected:
    void TearDown() override { DialogAutomation::Process().Configure(std::nullopt, ""); }

    QJsonObject LogLine(std::size_t index) const {
        const std::string log = test::ReadFile(m_log).value_or("");
        std::size_t start = 0;
        for (std::size_t i = 0; i < index && start != std::string::npos; ++i) {
            start = log.find('\n', start);
            start = start == std::string::npos ? start : start + 1;
        }
        if (start == std::string::npos || start >= log.size()) {
            return {};
        }
        const std::string line = log.substr(start, log.find('\n', start) - start);
        return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    }

    test::Sandbox m_sandbox;
    std::filesystem::path m_log = m_sandbox.Path() / "dialogs.jsonl";
};

TEST_F(MessageBoxTest, AutomationAnswersWithoutShowing) {
    DialogAutomation::Process().Configure(m_log, "ok");
    const QString text =
        QStringLiteral("退出墨维网吧收银台后将导致客户端无法正常工作，您是否确定要退出？");
    EXPECT_EQ(MessageBox(nullptr, text, QStringLiteral("退出确认"), DialogIcon::None,
                         DialogButtons::OkCancel),
              DialogAnswer::Ok);
    EXPECT_EQ(MessageBox(nullptr, QStringLiteral("关闭？"), QStringLiteral("网吧商品客户端"),
                         DialogIcon::Question, DialogButtons::YesNo, DialogAnswer::No),
              DialogAnswer::No);

    EXPECT_EQ(LogLine(0)["text"].toString(), text);
    EXPECT_EQ(LogLine(0)["answer"].toString(), "ok");
    EXPECT_EQ(LogLine(1)["answer"].toString(), "no");
    EXPECT_EQ(LogLine(1)["icon"].toString(), "question");

    ShowNotice(nullptr, QStringLiteral("未找到系统托盘"), QStringLiteral("提示"),
               DialogIcon::Information);
    EXPECT_EQ(LogLine(2)["text"].toString(), QStringLiteral("未找到系统托盘"));
    EXPECT_EQ(LogLine(2)["answer"].toString(), "ok");
    EXPECT_EQ(ShownMessageBox(), nullptr);
}

// The console's notice at start on a desktop without a tray: while it waits, a click on another
// window (an order's popup) must still reach that window, so the notice blocks no window.
TEST_F(MessageBoxTest, NoticeReturnsAtOnceAndLeavesTheOtherWindowsUsable) {
    QWidget owner;
    owner.show();
    // A notice that waits for its answer is closed by this, so the test fails instead of hanging.
    bool blocked = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            blocked = true;
            modal->close();
        }
    });
    guard.start(2000);

    ShowNotice(&owner, QStringLiteral("未找到系统托盘"), QStringLiteral("提示"),
               DialogIcon::Information);
    EXPECT_FALSE(blocked) << "the notice waited for its answer";
    const QPointer<QMessageBox> notice = ShownMessageBox();
    ASSERT_NE(notice, nullptr) << "the notice is not shown";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the notice blocks the other windows";

    notice->defaultButton()->click();
    EXPECT_TRUE(test::WaitWithEvents([&] { return notice == nullptr; }, 5s))
        << "the answered notice stays";
}

TEST_F(MessageBoxTest, PromptTakesTheTextOfItsAnswer) {
    DialogAutomation::Process().Configure(m_log, "ok:口令 1,cancel");
    EXPECT_EQ(PromptText(nullptr, QStringLiteral("请输入收银台锁定密码"), {}, true),
              QStringLiteral("口令 1"));
    EXPECT_EQ(PromptText(nullptr, QStringLiteral("请输入收银台锁定密码"), {}, true), std::nullopt);
    // An empty queue takes OK with the empty text the field starts with.
    EXPECT_EQ(PromptText(nullptr, QStringLiteral("请输入收银台锁定密码"), {}, true), QString());
    EXPECT_EQ(LogLine(0)["answer"].toString(), QStringLiteral("ok:口令 1"));
    EXPECT_EQ(LogLine(2)["answer"].toString(), "ok:");
}

TEST_F(MessageBoxTest, PopupsAndBalloonsAreLoggedOnlyInAutomationMode) {
    LogPopup(QStringLiteral("not logged"));
    EXPECT_FALSE(std::filesystem::exists(m_log));
    DialogAutomation::Process().Configure(m_log, "");
    LogPopup(QStringLiteral("座位 12 订单"));
    LogBalloon(QStringLiteral("收银台还在这里运行"), QStringLiteral("右键点击图标来使用功能菜单"));
    EXPECT_EQ(LogLine(0)["kind"].toString(), "popup");
    EXPECT_EQ(LogLine(0)["text"].toString(), QStringLiteral("座位 12 订单"));
    EXPECT_EQ(LogLine(1)["kind"].toString(), "balloon");
    EXPECT_EQ(LogLine(1)["title"].toString(), QStringLiteral("收银台还在这里运行"));
}

}  // namespace
}  // namespace zn::gui
