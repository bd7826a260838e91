#include "client/ConnectionErrorForm.h"

#include <gtest/gtest.h>

namespace zn::client {
namespace {

TEST(TrimBlanksTest, RemovesBlanksAtBothEndsOnly) {
    EXPECT_EQ(TrimBlanks("  10.0.0.5\t \r\n"), "10.0.0.5");
    EXPECT_EQ(TrimBlanks("counter pc"), "counter pc");
    EXPECT_EQ(TrimBlanks(" \t\v\f "), "");
    EXPECT_EQ(TrimBlanks(""), "");
}

TEST(ConnectionErrorFormTest, OpensOnRetryWithTheFieldDisabled) {
    ConnectionErrorForm form("192.168.1.2");
    EXPECT_EQ(form.Choice(), kChoiceRetry);
    EXPECT_FALSE(form.AddressFieldEnabled());
    EXPECT_EQ(form.Address(), "192.168.1.2");
    ASSERT_TRUE(form.ConfirmOk("ignored"));
    const auto answer = form.OkAnswer();
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.choice, kChoiceRetry);
    EXPECT_EQ(answer.address, "192.168.1.2") << "OK at once retries with the old address";
}

TEST(ConnectionErrorFormTest, OnlyTheCorrectionChoiceEnablesTheField) {
    ConnectionErrorForm form("a");
    form.Choose(kChoiceCorrectAddress);
    EXPECT_TRUE(form.AddressFieldEnabled());
    form.Choose(kChoiceGiveUp);
    EXPECT_FALSE(form.AddressFieldEnabled());
    form.Choose(7);
    EXPECT_EQ(form.Choice(), kChoiceGiveUp) << "unknown choices change nothing";
    form.Choose(0);
    EXPECT_EQ(form.Choice(), kChoiceGiveUp);
}

TEST(ConnectionErrorFormTest, CorrectedAddressIsTrimmedAndAnEmptyOneRefused) {
    ConnectionErrorForm form("old");
    form.Choose(kChoiceCorrectAddress);
    EXPECT_FALSE(form.ConfirmOk("   "));
    EXPECT_FALSE(form.ConfirmOk(""));
    EXPECT_EQ(form.Address(), "old") << "a refused address is not taken";
    ASSERT_TRUE(form.ConfirmOk("  10.0.0.5  "));
    EXPECT_EQ(form.OkAnswer().address, "10.0.0.5");
    EXPECT_EQ(form.OkAnswer().choice, kChoiceCorrectAddress);
}

TEST(ConnectionErrorFormTest, ChoosingTwoThenOneRetriesWithTheOldAddress) {
    ConnectionErrorForm form("old");
    form.Choose(kChoiceCorrectAddress);
    form.Choose(kChoiceRetry);
    ASSERT_TRUE(form.ConfirmOk("new"));
    EXPECT_EQ(form.OkAnswer().choice, kChoiceRetry);
    EXPECT_EQ(form.OkAnswer().address, "old");
}

TEST(ConnectionErrorFormTest, GiveUpAndCancel) {
    ConnectionErrorForm form("old");
    form.Choose(kChoiceGiveUp);
    ASSERT_TRUE(form.ConfirmOk(""));
    EXPECT_EQ(form.OkAnswer().choice, kChoiceGiveUp);
    EXPECT_FALSE(form.CancelAnswer().ok);
    EXPECT_EQ(form.CancelAnswer().address, "old");
}

}  // namespace
}  // namespace zn::client
