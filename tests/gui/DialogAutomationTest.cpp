#include "gui/DialogAutomation.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sstream>
#include <thread>
#include <vector>

#include "Sandbox.h"

namespace zn::gui {
namespace {

std::vector<QJsonObject> ReadLog(const std::filesystem::path& file) {
    std::vector<QJsonObject> lines;
    std::istringstream content(test::ReadFile(file).value_or(""));
    for (std::string line; std::getline(content, line);) {
        QJsonParseError error{};
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << "not JSON: " << line;
        lines.push_back(document.object());
    }
    return lines;
}

class DialogAutomationTest : public testing::Test {
protected:
    test::Sandbox m_sandbox;
    std::filesystem::path m_log = m_sandbox.Path() / "dialogs.jsonl";
    DialogAutomation m_automation;
};

TEST_F(DialogAutomationTest, InactiveWithoutLogFile) {
    m_automation.Configure(std::nullopt, "yes");
    EXPECT_FALSE(m_automation.IsActive());
    EXPECT_FALSE(m_automation.AnswerMessageBox("c", "t", DialogIcon::None, DialogButtons::YesNo,
                                               DialogAnswer::No));
    EXPECT_FALSE(m_automation.AnswerFieldDialog("c", "t", 1, {}));
    m_automation.LogPopup("p");
    EXPECT_FALSE(std::filesystem::exists(m_log));
}

TEST_F(DialogAutomationTest, ModelessPromptStaysOpenOnlyWhenToldAndModalBoxesIgnoreTheWord) {
    m_automation.Configure(m_log, "open,open,cancel");
    const auto open =
        m_automation.AnswerModelessPrompt("c", "offer", DialogButtons::OkCancel, DialogAnswer::Ok);
    ASSERT_TRUE(open);
    EXPECT_TRUE(open->leftOpen);
    // "open" means nothing to a box that blocks: its default.
    EXPECT_EQ(m_automation.AnswerMessageBox("c", "box", DialogIcon::None, DialogButtons::OkCancel,
                                            DialogAnswer::Ok),
              DialogAnswer::Ok);
    const auto dismissed =
        m_automation.AnswerModelessPrompt("c", "offer", DialogButtons::OkCancel, DialogAnswer::Ok);
    ASSERT_TRUE(dismissed);
    EXPECT_FALSE(dismissed->leftOpen);
    EXPECT_EQ(dismissed->answer, DialogAnswer::Cancel);
    const auto accepted =
        m_automation.AnswerModelessPrompt("c", "offer", DialogButtons::OkCancel, DialogAnswer::Ok);
    EXPECT_EQ(accepted->answer, DialogAnswer::Ok) << "the default once the queue is empty";

    const auto lines = ReadLog(m_log);
    ASSERT_EQ(lines.size(), 4u);
    const char* expected[] = {"open", "ok", "cancel", "ok"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i]["answer"].toString(), expected[i]) << "line " << i;
    }
}

TEST_F(DialogAutomationTest, AnswersAreUsedInOrderThenDefaults) {
    m_automation.Configure(m_log, "cancel,YES,,ok");
    using enum DialogAnswer;
    EXPECT_EQ(
        m_automation.AnswerMessageBox("a", "1", DialogIcon::Question, DialogButtons::OkCancel, Ok),
        Cancel);
    EXPECT_EQ(
        m_automation.AnswerMessageBox("a", "2", DialogIcon::Question, DialogButtons::YesNo, No),
        Yes);
    // An empty answer and one the box does not offer both take its default.
    EXPECT_EQ(m_automation.AnswerMessageBox("a", "3", DialogIcon::Question,
                                            DialogButtons::YesNoCancel, No),
              No);
    EXPECT_EQ(
        m_automation.AnswerMessageBox("a", "4", DialogIcon::Question, DialogButtons::YesNo, No),
        No);
    // Queue empty: the default, or the first button when the default is not offered.
    EXPECT_EQ(m_automation.AnswerMessageBox("a", "5", DialogIcon::Warning,
                                            DialogButtons::RetryCancel, Cancel),
              Cancel);
    EXPECT_EQ(m_automation.AnswerMessageBox("a", "6", DialogIcon::Error, DialogButtons::YesNo, Ok),
              Yes);

    const auto lines = ReadLog(m_log);
    ASSERT_EQ(lines.size(), 6u);
    const char* expected[] = {"cancel", "yes", "no", "no", "cancel", "yes"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i]["kind"].toString(), "dialog");
        EXPECT_EQ(lines[i]["answer"].toString(), expected[i]) << "line " << i;
    }
    EXPECT_EQ(lines[0]["buttons"].toArray(), QJsonArray({"ok", "cancel"}));
    EXPECT_EQ(lines[0]["icon"].toString(), "question");
    EXPECT_EQ(lines[4]["icon"].toString(), "warning");
    EXPECT_EQ(lines[5]["icon"].toString(), "error");
}

TEST_F(DialogAutomationTest, FieldDialogsTakeTheirFieldsFromTheAnswer) {
    m_automation.Configure(m_log, "ok:secret:with:colons,ok:2:10.0.0.5:8001,ok,cancel:ignored");
    const FieldAnswer entry{DialogAnswer::Ok, {"1", "192.168.0.1"}};

    const auto password =
        m_automation.AnswerFieldDialog("请输入收银台锁定密码", "", 1, {DialogAnswer::Ok, {""}});
    ASSERT_TRUE(password);
    EXPECT_EQ(password->button, DialogAnswer::Ok);
    EXPECT_EQ(password->fields, std::vector<std::string>{"secret:with:colons"});

    const auto choice = m_automation.AnswerFieldDialog("与收银台通信错误！", "", 2, entry);
    EXPECT_EQ(choice->fields, (std::vector<std::string>{"2", "10.0.0.5:8001"}));

    // Fields the answer leaves out keep the dialog's own values.
    const auto plainOk = m_automation.AnswerFieldDialog("与收银台通信错误！", "", 2, entry);
    EXPECT_EQ(plainOk->fields, entry.fields);

    const auto cancelled =
        m_automation.AnswerFieldDialog("请输入收银台锁定密码", "", 1, {DialogAnswer::Ok, {""}});
    EXPECT_EQ(cancelled->button, DialogAnswer::Cancel);

    const auto byDefault = m_automation.AnswerFieldDialog("与收银台通信错误！", "", 2, entry);
    EXPECT_EQ(byDefault->button, DialogAnswer::Ok);
    EXPECT_EQ(byDefault->fields, entry.fields);

    const auto lines = ReadLog(m_log);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0]["answer"].toString(), "ok:secret:with:colons");
    EXPECT_EQ(lines[1]["answer"].toString(), "ok:2:10.0.0.5:8001");
    EXPECT_EQ(lines[2]["answer"].toString(), "ok:1:192.168.0.1");
    EXPECT_EQ(lines[3]["answer"].toString(), "cancel:ignored");
    EXPECT_EQ(lines[1]["caption"].toString(), QStringLiteral("与收银台通信错误！"));
}

TEST_F(DialogAutomationTest, LinesAreValidJsonForAnyText) {
    m_automation.Configure(m_log, "");
    const std::string awkward = "引号\"反斜杠\\换行\n回车\r制表\t响铃\a删除\x7f";
    m_automation.AnswerMessageBox("退出确认", awkward, DialogIcon::Information, DialogButtons::Ok,
                                  DialogAnswer::Ok);
    m_automation.LogPopup("座位：未知\n订单");
    m_automation.LogBalloon("收银台还在这里运行", "右键点击图标来使用功能菜单");
    m_automation.LogPopup("bad \xff\xfe bytes \xe4\xb8");

    const auto lines = ReadLog(m_log);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0]["text"].toString().toStdString(), awkward);
    EXPECT_EQ(lines[0]["caption"].toString(), QStringLiteral("退出确认"));
    EXPECT_EQ(lines[0]["icon"].toString(), "information");
    EXPECT_EQ(lines[1],
              QJsonObject({{"kind", "popup"}, {"text", QStringLiteral("座位：未知\n订单")}}));
    EXPECT_EQ(lines[2], QJsonObject({{"kind", "balloon"},
                                     {"title", QStringLiteral("收银台还在这里运行")},
                                     {"text", QStringLiteral("右键点击图标来使用功能菜单")}}));
    EXPECT_EQ(lines[3]["text"].toString(), QStringLiteral("bad \uFFFD\uFFFD bytes \uFFFD\uFFFD"));
    // Chinese stays as it is instead of \u escapes, so the log reads plainly.
    EXPECT_NE(test::ReadFile(m_log)->find("退出确认"), std::string::npos);
}

TEST_F(DialogAutomationTest, ThreadsShareOneQueueAndNeverMixLines) {
    constexpr int kThreads = 4;
    constexpr int kBoxes = 200;
    std::string answers;
    for (int i = 0; i < kThreads * kBoxes / 2; ++i) {
        answers += "no,";
    }
    m_automation.Configure(m_log, answers);
    std::atomic<int> noes = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kBoxes; ++i) {
                const std::string text =
                    "thread " + std::to_string(t) + " box " + std::to_string(i);
                if (m_automation.AnswerMessageBox("c", text, DialogIcon::None, DialogButtons::YesNo,
                                                  DialogAnswer::Yes) == DialogAnswer::No) {
                    ++noes;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    // The empty last answer after the final comma takes the default as well.
    EXPECT_EQ(noes, kThreads * kBoxes / 2);
    EXPECT_EQ(ReadLog(m_log).size(), static_cast<std::size_t>(kThreads * kBoxes));
}

TEST_F(DialogAutomationTest, ProcessAutomationComesFromTheEnvironment) {
    // A fresh process, so the automation is made from these variables at its first use.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child makes a sandbox of its own; it keeps the log path that the parent set.
    setenv("ZENTROVA_DIALOG_LOG", m_log.c_str(), 0);
    setenv("ZENTROVA_DIALOG_ANSWERS", "no", 1);
    EXPECT_EXIT(
        {
            const auto answer = DialogAutomation::Process().AnswerMessageBox(
                "提示", "t", DialogIcon::Information, DialogButtons::YesNo, DialogAnswer::Yes);
            _exit(answer == DialogAnswer::No ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    unsetenv("ZENTROVA_DIALOG_LOG");
    unsetenv("ZENTROVA_DIALOG_ANSWERS");
    ASSERT_EQ(ReadLog(m_log).size(), 1u);
}

}  // namespace
}  // namespace zn::gui
