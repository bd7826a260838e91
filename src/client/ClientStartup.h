#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zn {
class WindowDirectory;
}

namespace zn::client {

// The caption the shop page gives a running client ("Init" with its "title"); a second start
// that finds it brings that client to the front instead.
inline constexpr std::string_view kRunningClientCaption = "网吧购物充值客户端";
// The main window's caption until a page sets another (template 102).
inline constexpr std::string_view kMainWindowCaption =
    "网吧充值购物客户端——本地购物—前台支付—本地收货";
// What the window shows until the shop page has loaded (built-in page 104).
inline constexpr std::string_view kBuiltInPage =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
    "</head><body id=\"CZentrovaNubraClientDlg\"></body></html>";
// The class of dialog windows, which the main window is.
inline constexpr std::string_view kMainWindowClass = "#32770";

// Copy-data number with which a second start asks the running client to show itself maximised
// and come to the front (the Windows program does this to the other window directly).
inline constexpr std::uint32_t kShowRunningClient = 0x5A4E5331;  // "ZNS1"
// A running client that does not take the request within this time is left alone.
inline constexpr std::chrono::milliseconds kShowRequestTimeout{5000};

inline constexpr std::string_view kCloseQuestion =
    "如果您正在交易中，退出本程序将使您无法接受到来自收银台的交易反馈，是否继续？";
inline constexpr std::string_view kCloseQuestionCaption = "请确认您的操作";

// The command-line arguments after the program name: the rest of a first argument that begins
// with "-p", else the empty text. Later arguments never count.
std::string ParseLaunchParameter(std::span<const std::string_view> arguments);

// True when a client with kRunningClientCaption runs; it has then been asked to show itself.
bool ShowRunningClient(const WindowDirectory& windows);

}  // namespace zn::client
