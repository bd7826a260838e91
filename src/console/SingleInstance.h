#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "console/ConsoleUi.h"

namespace zn::console {

// The captions the back-office pages give a running console, in the order they are looked for.
inline constexpr std::array<std::string_view, 3> kRunningConsoleCaptions = {
    "欢迎使用墨维登陆器", "墨维网吧收银台", "墨维网吧收银台——订单处理"};

// What a second console shows before it ends, owned by the window found (none for the second
// caption).
struct RunningConsoleNotice {
    std::string text;
    std::string caption;
    std::optional<std::string> ownerCaption;
    MessageIcon icon = MessageIcon::Information;
};

// Looks for a running console through `windowExists` (a top-level window with exactly this
// caption); nullopt when none runs and this one may start.
std::optional<RunningConsoleNotice> FindRunningConsole(
    const std::function<bool(std::string_view caption)>& windowExists);

}  // namespace zn::console
