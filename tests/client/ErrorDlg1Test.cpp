#include "ErrorDlg1.h"

#include <gtest/gtest.h>

#include "Sandbox.h"
#include "gui/DialogAutomation.h"

namespace zn::client {
namespace {

// Automation on for each test, so that no dialog ever waits for a person.
class ErrorDlg1Test : public ::testing::Test {
protected:
    void Answer(std::string_view answers) {
        gui::DialogAutomation::Process().Configure(m_sandbox.Path() / "dialogs.jsonl", answers);
    }
    void TearDown() override { gui::DialogAutomation::Process().Configure(std::nullopt, ""); }

    std::string Log() const {
        return test::ReadFile(m_sandbox.Path() / "dialogs.jsonl").value_or("");
    }

    test::Sandbox m_sandbox;
};

TEST_F(ErrorDlg1Test, FieldIsEnabledOnlyWithTheCorrectionChoice) {
    Answer("");
    CErrorDlg1 dialog("127.0.0.1");
    EXPECT_FALSE(dialog.IsAddressFieldEnabled());
    dialog.Choose(kChoiceCorrectAddress);
    EXPECT_TRUE(dialog.IsAddressFieldEnabled());
    dialog.Choose(kChoiceGiveUp);
    EXPECT_FALSE(dialog.IsAddressFieldEnabled());
}

TEST_F(ErrorDlg1Test, EmptyCorrectionKeepsTheDialogOpenWithItsMessage) {
    Answer("ok");
    CErrorDlg1 dialog("127.0.0.1");
    dialog.Choose(kChoiceCorrectAddress);
    dialog.SetAddressText("   ");
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_NE(Log().find("错误：请输入帐台服务端地址！"), std::string::npos) << Log();
    EXPECT_NE(Log().find("\"caption\":\"网吧商品客户端\""), std::string::npos);

    dialog.SetAddressText(" 10.0.0.5 ");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const auto answer = dialog.Answer();
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.choice, kChoiceCorrectAddress);
    EXPECT_EQ(answer.address, "10.0.0.5");
}

TEST_F(ErrorDlg1Test, AutomatedAnswersNameTheChoiceAndTheAddress) {
    Answer("ok,ok:2:  10.0.0.5 ,cancel,ok:3,ok:9");
    const auto retry = CErrorDlg1::Ask(nullptr, "old");
    EXPECT_TRUE(retry.ok);
    EXPECT_EQ(retry.choice, kChoiceRetry);
    EXPECT_EQ(retry.address, "old");

    const auto corrected = CErrorDlg1::Ask(nullptr, "old");
    EXPECT_EQ(corrected.choice, kChoiceCorrectAddress);
    EXPECT_EQ(corrected.address, "10.0.0.5");

    EXPECT_FALSE(CErrorDlg1::Ask(nullptr, "old").ok);
    EXPECT_EQ(CErrorDlg1::Ask(nullptr, "old").choice, kChoiceGiveUp);
    EXPECT_EQ(CErrorDlg1::Ask(nullptr, "old").choice, kChoiceRetry) << "an unknown choice";
    EXPECT_NE(Log().find("\"caption\":\"与收银台通信错误！\""), std::string::npos);
    EXPECT_NE(Log().find("\"answer\":\"ok:1:old\""), std::string::npos) << Log();
}

TEST_F(ErrorDlg1Test, RefusedAutomatedAddressIsAskedAgainAndEndsWithoutAnswers) {
    // The refusal message box takes its own answer from the queue.
    Answer("ok:2:,ok,ok:2:counter");
    const auto corrected = CErrorDlg1::Ask(nullptr, "old");
    EXPECT_TRUE(corrected.ok);
    EXPECT_EQ(corrected.address, "counter");

    Answer("ok:2: ");
    EXPECT_FALSE(CErrorDlg1::Ask(nullptr, "old").ok)
        << "with no answer left a refused dialog ends as by Escape";
}

}  // namespace
}  // namespace zn::client
