#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zn {
class Registry;
}

namespace zn::config {

// The notice page's radio buttons; None until one is clicked.
enum class NoticeChoice { None, FirstPreset, SecondPreset, OwnText };

// What the presets write into the page (they differ slightly from the buttons' labels).
inline constexpr std::string_view kFirstPresetText = "服务台已收到信息，请您在座位上稍等片刻";
inline constexpr std::string_view kSecondPresetText = "服务台已收到信息，请您到服务台上付款";

inline constexpr std::string_view kEmptyOwnTextMessage = "提示信息内容不能为空！";
// The caption of the page's error messages.
inline constexpr std::string_view kNoticeErrorCaption = "错误";

// The message a choice puts into the page, UTF-8: the preset's text, the own text without its
// leading and trailing white space, or the empty text without a choice. nullopt when the own text
// is nothing but white space.
std::optional<std::string> NoticeMessage(NoticeChoice choice, std::string_view ownText);

// The shop's order confirmation page that the notice shows in a frame.
std::string ShopConfirmationAddress();

// The exact bytes of "RequestReceived.html" in code page 936: head, the message unescaped, tail
// and, when asked, the shop's frame after the closing tag. No line break, no terminator.
std::string NoticePageBytes(std::string_view message, bool withShopFrame);

// True when the console's stored "LoginPage" names the operator's back office ("murvel").
bool ShowsShopFrame(const Registry& registry);

enum class NoticeWriteResult { Written, EmptyOwnText, WriteFailed };

// Writes the page of a choice to `file`, replacing it whole, or leaves the old file as it was
// (EmptyOwnText; WriteFailed, which is logged and, when asked, put into `failure`: the file and
// why).
NoticeWriteResult WriteNoticePage(const std::filesystem::path& file, NoticeChoice choice,
                                  std::string_view ownText, const Registry& registry,
                                  std::string* failure = nullptr);

}  // namespace zn::config
