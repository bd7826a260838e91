#pragma once

#include <string>
#include <string_view>

// The texts the seat client shows about its link to the counter.
namespace zn::client::ClientTexts {

inline constexpr std::string_view kConnectionErrorCaption = "和收银台连接发生错误";
inline constexpr std::string_view kNoConsole = "错误：无法连接网吧收银台！请联系网吧工作人员";
inline constexpr std::string_view kGreetingFailed =
    "错误：与网吧收银台通信失败，可能是收银台未登陆，请联系网吧工作人员";
inline constexpr std::string_view kNoOwnAddress = "错误：系统错误，无法获得本机IP！";
inline constexpr std::string_view kSendFailed =
    "错误：与网吧收银台通信失败，可能是收银台关闭或未登陆，请联系网吧工作人员";
inline constexpr std::string_view kMessageSent = "您的信息已经发送至网吧收银台，请稍等片刻";

inline constexpr std::string_view kClientCaption = "网吧商品客户端";
inline constexpr std::string_view kCannotListen = "错误：无法接受网络数据，请检查您的系统设置！";

inline constexpr std::string_view kConnecting = "正在连接收银台，请稍候。谢谢！";
inline constexpr std::string_view kReconnecting = "正在连接网吧收银台，请稍候。谢谢！";

// "错误：从与网吧收银台接收数据失败(%d)！"
inline std::string PageNotReceived(int errorCode) {
    return "错误：从与网吧收银台接收数据失败(" + std::to_string(errorCode) + ")！";
}

}  // namespace zn::client::ClientTexts
