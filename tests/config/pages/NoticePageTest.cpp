#include "config/NoticePage.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>

#include "LogCapture.h"
#include "Sandbox.h"
#include "common/DefaultHosts.h"
#include "console/ConsoleSettings.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"

namespace zn::config {
namespace {

// The page's fixed parts as the console's seats must receive them, in code page 936.
const std::string kHead =
    "<HTML><head><meta http-equiv='Content-Type' content=\"text/html; charset=gb2312\"></head>"
    "<BODY><center><b><FONT face=\xbb\xaa\xce\xc4\xd0\xc2\xce\xba color=red size=6>";
const std::string kTail = TextCodec::Utf8ToGbk(
    "</font></b><hr width=\"100%\" SIZE=\"1\"><font color=red face=华文新魏>"
    "交易结果将被发送到本窗口，请先不要关闭！</font></center><center><input id=\"ButtonMain\" "
    "name=\"ButtonMain\" type=\"button\" value=\"继续购买其他商品\"></center></BODY></HTML>");
const std::string kShopFrame = "<iframe src=\"" + std::string(DefaultHosts::kShop) +
                               "/wb/wbddqr.jsp\" height='400' width='100%' frameborder='0' "
                               "scrolling='no'></iframe>";

class NoticePageTest : public ::testing::Test {
protected:
    NoticeWriteResult Write(NoticeChoice choice, std::string_view ownText = {}) {
        return WriteNoticePage(m_page, choice, ownText, m_registry);
    }
    std::string Page() const { return test::ReadFile(m_page).value_or("<none>"); }
    void SetLoginPage(std::string_view address) {
        auto key = m_registry.CreateKey(RegistryRoot::LocalMachine, console::kConsoleKeyPath);
        ASSERT_TRUE(key && key->SetString("LoginPage", address));
    }

    test::Sandbox m_sandbox;
    Registry m_registry{m_sandbox.RegistryFolder()};
    std::filesystem::path m_page = m_sandbox.WriteFile("program/RequestReceived.html", "old");
};

TEST_F(NoticePageTest, EachChoiceWritesItsExactBytes) {
    ASSERT_EQ(Write(NoticeChoice::FirstPreset), NoticeWriteResult::Written);
    EXPECT_EQ(Page(),
              kHead +
                  "\xb7\xfe\xce\xf1\xcc\xa8\xd2\xd1\xca\xd5\xb5\xbd\xd0\xc5\xcf\xa2\xa3\xac\xc7\xeb"
                  "\xc4\xfa\xd4\xda\xd7\xf9\xce\xbb\xc9\xcf\xc9\xd4\xb5\xc8\xc6\xac\xbf\xcc" +
                  kTail);

    ASSERT_EQ(Write(NoticeChoice::SecondPreset), NoticeWriteResult::Written);
    EXPECT_EQ(Page(), kHead + TextCodec::Utf8ToGbk("服务台已收到信息，请您到服务台上付款") + kTail);

    // Trimmed at both ends, and markup goes in as it was typed.
    ASSERT_EQ(Write(NoticeChoice::OwnText, " \t<b>请到</b> 3号 & \"窗口\"\r\n "),
              NoticeWriteResult::Written);
    EXPECT_EQ(Page(), kHead + "<b>\xc7\xeb\xb5\xbd</b> 3" + TextCodec::Utf8ToGbk("号") + " & \"" +
                          TextCodec::Utf8ToGbk("窗口") + "\"" + kTail);

    ASSERT_EQ(Write(NoticeChoice::None, "ignored"), NoticeWriteResult::Written);
    EXPECT_EQ(Page(), kHead + kTail);
}

TEST_F(NoticePageTest, TheShopFrameFollowsOnlyALoginPageOfTheOperator) {
    ASSERT_EQ(Write(NoticeChoice::FirstPreset), NoticeWriteResult::Written);
    EXPECT_TRUE(Page().ends_with("</BODY></HTML>")) << "no console key";

    SetLoginPage("http://bo.test/murvel/loginsyt.jsp");
    ASSERT_EQ(Write(NoticeChoice::None), NoticeWriteResult::Written);
    EXPECT_EQ(Page(), kHead + kTail + kShopFrame);

    for (const std::string& other : {std::string("http://bo.test/MURVEL/loginsyt.jsp"),
                                     "http://bo.test/murvel/" + std::string(300, 'a')}) {
        SetLoginPage(other);
        ASSERT_EQ(Write(NoticeChoice::None), NoticeWriteResult::Written);
        EXPECT_EQ(Page(), kHead + kTail) << other.substr(0, 40);
    }
}

TEST_F(NoticePageTest, OwnTextOfOnlyWhiteSpaceIsRefusedAndTheOldPageStays) {
    for (const char* text : {"", "   ", " \t\r\n\v\f "}) {
        EXPECT_EQ(NoticeMessage(NoticeChoice::OwnText, text), std::nullopt);
        EXPECT_EQ(Write(NoticeChoice::OwnText, text), NoticeWriteResult::EmptyOwnText);
        EXPECT_EQ(Page(), "old");
    }
}

// A write that stops half way (the file size limit) must not leave half a page for the seats.
TEST_F(NoticePageTest, AFailedWriteLeavesTheOldPageWholeAndIsLogged) {
    test::LogCapture log;
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const NoticeWriteResult result = Write(NoticeChoice::FirstPreset);
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, NoticeWriteResult::WriteFailed);
    EXPECT_EQ(Page(), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_page.parent_path()), {}), 1)
        << "a temporary file was left";
    EXPECT_TRUE(log.Contains({"Cannot write the notice page", m_page.string()}));

    m_page = m_sandbox.Path() / "missing" / "RequestReceived.html";
    EXPECT_EQ(Write(NoticeChoice::FirstPreset), NoticeWriteResult::WriteFailed);
}

}  // namespace
}  // namespace zn::config
