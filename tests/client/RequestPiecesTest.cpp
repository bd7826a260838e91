#include <gtest/gtest.h>

#include <string>

#include "Sandbox.h"
#include "client/FeedbackPage.h"
#include "client/OrderRequest.h"
#include "client/ShopAddress.h"
#include "platform/TextCodec.h"

namespace zn::client {
namespace {

std::string AsString(const std::vector<std::byte>& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<std::byte> AsBytes(std::string_view text) {
    const auto* data = reinterpret_cast<const std::byte*>(text.data());
    return std::vector<std::byte>(data, data + text.size());
}

TEST(ShopAddressTest, QueryCarriesGreetingAddressLaunchParameterAndFirst) {
    EXPECT_EQ(
        BuildShopAddress("http://shop/wb/indexc.jsp", "&cid_murvel=12&seat=A1", "10.0.0.7", "ad=3"),
        "http://shop/wb/indexc.jsp?&cid_murvel=12&seat=A1&ip=10.0.0.7&ad=3&first=1");
    EXPECT_EQ(BuildShopAddress("http://shop/wb/indexc.jsp", "", kCounterIp, ""),
              "http://shop/wb/indexc.jsp?&ip=0&first=1");
    // The shop reads the greeting's values as code page 936; only its "&" and "=" are structure.
    EXPECT_EQ(BuildShopAddress("http://s/", "&cid_murvel=1&seat=三楼 5#+%\t", "10.0.0.7", ""),
              "http://s/?&cid_murvel=1&seat=%C8%FD%C2%A5%205%23%2B%25%09&ip=10.0.0.7&first=1");
}

TEST(ShopAddressTest, OwnAddressIsNeverLoopbackOrUnconfigured) {
    EXPECT_TRUE(IsUsableOwnAddress("192.168.1.20"));
    EXPECT_FALSE(IsUsableOwnAddress("127.0.0.1"));
    EXPECT_FALSE(IsUsableOwnAddress("127.1.2.3"));
    EXPECT_FALSE(IsUsableOwnAddress("0.0.0.0"));
    EXPECT_FALSE(IsUsableOwnAddress(""));
    EXPECT_FALSE(IsUsableOwnAddress("seat7"));
}

TEST(OrderRequestTest, KindLettersFollowPlatformAndCounterMode) {
    EXPECT_EQ(AsString(BuildOrderBody("20240501", "murvel", 0)), std::string("O20240501\0", 10));
    EXPECT_EQ(AsString(BuildOrderBody("20240501", "other", 0)), std::string("20240501\0", 9));
    EXPECT_EQ(AsString(BuildOrderBody("77", "murvel", 1)), std::string("ZO77\0", 5));
    EXPECT_EQ(AsString(BuildOrderBody("77", "", 2)), std::string("Z77\0", 4));
    EXPECT_EQ(AsString(BuildOrderBody("", "", 0)), std::string("\0", 1));
}

TEST(FeedbackPageTest, SuccessIsMatchedInGbkBytesUpToTheFirstNul) {
    const std::string success = TextCodec::Utf8ToGbk("<p>交易成功</p>");
    EXPECT_TRUE(ReportsSuccess(AsBytes(success + '\0')));
    EXPECT_TRUE(ReportsSuccess(AsBytes(success)));
    EXPECT_FALSE(ReportsSuccess(AsBytes(TextCodec::Utf8ToGbk("<p>交易失败</p>") + '\0')));
    EXPECT_FALSE(ReportsSuccess(AsBytes(std::string("<p>\0", 4) + success)));
    // The UTF-8 bytes of the word are not what the console sends.
    EXPECT_FALSE(ReportsSuccess(AsBytes("成功")));
}

TEST(FeedbackPageTest, StoredPageHasCrLfLinesAndItsNulAndReplacesTheFile) {
    zn::test::Sandbox sandbox;
    const auto file = sandbox.Path() / std::string(kFeedbackPageName);
    sandbox.WriteFile(std::string(kFeedbackPageName), "old page that is longer than the new one");
    ASSERT_TRUE(StoreFeedbackPage(file, AsBytes(std::string("<a>\n<b>\r\n</b>\0", 15))));
    EXPECT_EQ(zn::test::ReadFile(file), std::string("<a>\r\n<b>\r\r\n</b>\0", 17));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sandbox.Path()),
                            std::filesystem::directory_iterator()),
              4)  // the page and the sandbox's own three folders, no temporary left
        << "a temporary file was left behind";
}

TEST(FeedbackPageTest, UnwritableFolderFailsWithoutAFile) {
    zn::test::Sandbox sandbox;
    EXPECT_FALSE(StoreFeedbackPage(sandbox.Path() / "missing" / "MyZentrova2.html",
                                   AsBytes(std::string("x\0", 2))));
}

TEST(FeedbackPageTest, FileUrlEncodesUnsafeBytes) {
    EXPECT_EQ(FileUrl("/opt/seat client/页.html"), "file:///opt/seat%20client/%E9%A1%B5.html");
    EXPECT_EQ(FileUrl("/a/b#c?d.html"), "file:///a/b%23c%3Fd.html");
}

}  // namespace
}  // namespace zn::client
