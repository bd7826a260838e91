#include "config/NoticePage.h"

#include "common/DefaultHosts.h"
#include "console/ConsoleSettings.h"
#include "platform/Log.h"
#include "platform/ReplacementFile.h"
#include "platform/TextCodec.h"

namespace zn::config {

namespace {

constexpr std::string_view kHead =
    "<HTML><head><meta http-equiv='Content-Type' content=\"text/html; charset=gb2312\"></head>"
    "<BODY><center><b><FONT face=华文新魏 color=red size=6>";
constexpr std::string_view kTail =
    "</font></b><hr width=\"100%\" SIZE=\"1\"><font color=red face=华文新魏>"
    "交易结果将被发送到本窗口，请先不要关闭！</font></center><center><input id=\"ButtonMain\" "
    "name=\"ButtonMain\" type=\"button\" value=\"继续购买其他商品\"></center></BODY></HTML>";
constexpr std::string_view kFrameEnd =
    "\" height='400' width='100%' frameborder='0' scrolling='no'></iframe>";
constexpr std::string_view kOperatorMark = "murvel";

// The white space of the ANSI runtime's trimming: code page 936 adds none of its own.
constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

std::string_view Trimmed(std::string_view text) {
    const std::size_t end = text.find_last_not_of(kWhiteSpace);
    if (end == std::string_view::npos) {
        return {};
    }
    text = text.substr(0, end + 1);
    return text.substr(text.find_first_not_of(kWhiteSpace));
}

}  // namespace

std::optional<std::string> NoticeMessage(NoticeChoice choice, std::string_view ownText) {
    switch (choice) {
        case NoticeChoice::FirstPreset:
            return std::string(kFirstPresetText);
        case NoticeChoice::SecondPreset:
            return std::string(kSecondPresetText);
        case NoticeChoice::OwnText: {
            const std::string_view text = Trimmed(ownText);
            return text.empty() ? std::nullopt : std::optional<std::string>(text);
        }
        case NoticeChoice::None:
            break;
    }
    return std::string();
}

std::string ShopConfirmationAddress() {
    return std::string(DefaultHosts::kShop) + "/wb/wbddqr.jsp";
}

std::string NoticePageBytes(std::string_view message, bool withShopFrame) {
    std::string page = std::string(kHead);
    page += message;
    page += kTail;
    if (withShopFrame) {
        page += "<iframe src=\"" + ShopConfirmationAddress();
        page += kFrameEnd;
    }
    return TextCodec::Utf8ToGbk(page);
}

bool ShowsShopFrame(const Registry& registry) {
    const auto loginPage = console::ConsoleSettings(registry).StoredLoginPage();
    return loginPage && loginPage->find(kOperatorMark) != std::string::npos;
}

NoticeWriteResult WriteNoticePage(const std::filesystem::path& file, NoticeChoice choice,
                                  std::string_view ownText, const Registry& registry,
                                  std::string* failure) {
    const auto message = NoticeMessage(choice, ownText);
    if (!message) {
        return NoticeWriteResult::EmptyOwnText;
    }
    const auto replaced =
        ReplaceFileSafely(file, NoticePageBytes(*message, ShowsShopFrame(registry)));
    if (!replaced) {
        log::Error("Cannot write the notice page: {}", replaced.failure);
        if (failure != nullptr) {
            *failure = replaced.failure;
        }
        return NoticeWriteResult::WriteFailed;
    }
    log::Info("Wrote the notice page {}", file.string());
    return NoticeWriteResult::Written;
}

}  // namespace zn::config
