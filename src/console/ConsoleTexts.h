#pragma once

#include <array>
#include <string_view>

// The console's fixed user-visible texts, for the core and for the Qt windows that show them.
namespace zn::console::texts {

// Caption of message boxes that name none: the program's name.
inline constexpr std::string_view kApplicationCaption = "ZentrovaNubraConsole";
inline constexpr std::string_view kMainWindowCaption = "墨维澄元在线网吧充值系统服务台";

inline constexpr std::string_view kTrayTip = "墨维网吧收银台";
struct TrayMenuItem {
    int command = 0;  // 0: a separator
    std::string_view text;
};
inline constexpr int kCommandExit = 1001;
inline constexpr int kCommandShow = 1002;
inline constexpr int kCommandLock = 1003;
inline constexpr int kCommandMessages = 1004;
inline constexpr int kCommandOrders = 1005;
inline constexpr std::array<TrayMenuItem, 6> kTrayMenu = {{
    {kCommandLock, "锁定网吧收银台"},
    {kCommandShow, "显示网吧收银台"},
    {kCommandOrders, "今日订单"},
    {kCommandMessages, "今日顾客消息"},
    {0, ""},
    {kCommandExit, "退出网吧收银台"},
}};

inline constexpr std::string_view kBalloonTitle = "收银台还在这里运行";
inline constexpr std::string_view kBalloonText = "右键点击图标来使用功能菜单";
inline constexpr std::size_t kBalloonTitleMaxBytes = 63;
inline constexpr std::size_t kBalloonTextMaxBytes = 255;

inline constexpr std::string_view kNoTrayCaption = "提示";
inline constexpr std::string_view kNoTrayText =
    "未找到系统托盘，网吧收银台仍在运行！关闭窗口后请从任务栏打开收银台。";

inline constexpr std::string_view kExitConfirmCaption = "退出确认";
inline constexpr std::string_view kExitConfirmText =
    "退出墨维网吧收银台后将导致客户端无法正常工作，您是否确定要退出？";

// Services: the port's number follows the first part.
inline constexpr std::string_view kPortUnavailableCaption = "端口被占用";
inline constexpr std::string_view kRequestPortUnavailableText[] = {
    "无法打开端口 ", "，收银台收不到客户机的购买请求！请关闭占用该端口的程序后重新启动收银台。"};
inline constexpr std::string_view kDiscoveryPortUnavailableText[] = {
    "无法打开端口 ", "，客户机无法自动找到收银台！请关闭占用该端口的程序后重新启动收银台。"};

// Lock.
inline constexpr std::string_view kPasswordPromptCaption = "请输入收银台锁定密码";
inline constexpr std::string_view kLockedCaption = "服务端已锁定";
inline constexpr std::string_view kUnlockedCaption = "服务端解除锁定";
inline constexpr std::string_view kLockedText =
    "选择取消锁定并输入正确密码后，您才可以继续执行商品交易！";
inline constexpr std::string_view kUnlockedText = "服务端锁定已取消，您可以继续执行商品交易！";
inline constexpr std::string_view kWrongPasswordText = "锁定密码不正确！";

// Back office and login.
inline constexpr std::string_view kEmptyUserNameText = "错误：用户名不能为空！";
inline constexpr std::string_view kEmptyPasswordText = "错误：密码不能为空！";
inline constexpr std::string_view kSecurityWarningCaption = "墨维在线安全警告";
inline constexpr std::string_view kSecurityWarningText =
    "在您的机器上我们发现登录页面被插入非法代码，请检查系统是否中了木马！";
// The window's own page while the login page cannot be loaded.
inline constexpr std::string_view kLoginPageDownTitle = "无法打开登录页面";
inline constexpr std::string_view kLoginPageDownText =
    "暂时无法连接网吧后台，请检查网络连接。收银台将自动重试，连接恢复后会打开登录页面。";

// A click refused on a page outside the back office: the page's address between the two parts.
inline constexpr std::string_view kClickRefusedText[] = {
    "网页 ",
    " 不属于收银台设置中的网吧后台网站，收银台不执行这个网页中的操作！如果它是运营商的后台网页，"
    "请管理员在收银台的设置中写上它的地址。"};

// Transactions.
inline constexpr std::string_view kProgressText = "正在连接客户端，请稍候。谢谢！";
inline constexpr std::string_view kUnlockBeforeCancelText = "取消交易前，请先解除服务端锁定！";
inline constexpr std::string_view kNotLoggedInText = "错误：用户未登录！";
inline constexpr std::string_view kNoClientIpText = "错误：无法获得客户机IP！";
inline constexpr std::string_view kNoResultPageText =
    "找不到该交易的结果页面，没有发送或显示任何内容！请先完成该交易。";
inline constexpr std::string_view kResultPageTooLargeText =
    "该交易的结果页面过大，无法发送给客户机，也无法显示！";

// Seat viewer.
inline constexpr std::string_view kSeatViewerCaption = "座号查看器";
inline constexpr std::string_view kSeatViewerIpLabel = "IP";
inline constexpr std::string_view kSeatViewerSeatLabel = "座号";
inline constexpr std::string_view kSeatViewerFindButton = "查找座号";

// Self-update: the upgrade prompt, and the launcher's name between the two parts of the failure.
inline constexpr std::string_view kUpdatePromptText =
    "墨维收银台软件检测到更新版本，建议立即更新！";
inline constexpr std::string_view kUpdatePromptButton = "点击升级到最新版本";
inline constexpr std::string_view kLaunchFailedCaption = "升级失败";
inline constexpr std::string_view kLaunchFailedText[] = {
    "无法启动升级程序“", "”，收银台将继续运行。请检查升级程序是否已安装，稍后再点击升级。"};

// The popup while texts come faster than it can take them; the count goes between the parts.
inline constexpr std::string_view kFoldedTexts[] = {
    "又收到 ", " 个新的请求，请在“今日订单”和“今日顾客消息”中查看！"};

// Customer messages of the day.
inline constexpr std::string_view kMessagesCaption = "今日顾客消息";
inline constexpr std::string_view kMessagesTimeHeader = "时间";
inline constexpr std::string_view kMessagesSeatHeader = "座号";
inline constexpr std::string_view kMessagesTextHeader = "消息";
inline constexpr std::string_view kMessagesCloseButton = "关闭窗口";

// Orders of the day; the counts and the waiting minutes go between the parts.
inline constexpr std::string_view kOrdersCaption = "今日订单";
inline constexpr std::string_view kOrdersTimeHeader = "时间";
inline constexpr std::string_view kOrdersSeatHeader = "座号";
inline constexpr std::string_view kOrdersSerialHeader = "订单号";
inline constexpr std::string_view kOrdersStateHeader = "状态";
inline constexpr std::string_view kOrdersOpenButton = "打开订单";
inline constexpr std::string_view kOrdersCloseButton = "关闭窗口";
inline constexpr std::string_view kOrderOpen = "待处理";
inline constexpr std::string_view kOrderCompleted = "已完成";
inline constexpr std::string_view kOrderNotDelivered = "已完成，未送达客户机";
inline constexpr std::string_view kOrderCancelled = "已取消";
inline constexpr std::string_view kOrdersSummary[] = {"待处理 ", " 笔，今日共 ", " 笔"};
inline constexpr std::string_view kOrdersPendingTip = " 笔订单待处理";
inline constexpr std::string_view kOrdersButtonPending[] = {"今日订单（", " 笔待处理）"};
// "座号：A08 的订单 464158 已等待 5 分钟，尚未处理！"
inline constexpr std::string_view kOrderReminder[] = {"座号：", " 的订单 ", " 已等待 ",
                                                      " 分钟，尚未处理！"};

// Transaction view.
inline constexpr std::string_view kTransactionViewCaption = "交易信息";
inline constexpr std::string_view kTransactionViewPrintButton = "打印本页面";  // always disabled
inline constexpr std::string_view kTransactionViewCloseButton = "关闭窗口";

}  // namespace zn::console::texts
