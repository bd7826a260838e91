#include "console/SingleInstance.h"

namespace zn::console {

std::optional<RunningConsoleNotice> FindRunningConsole(
    const std::function<bool(std::string_view caption)>& windowExists) {
    for (std::size_t index = 0; index < kRunningConsoleCaptions.size(); ++index) {
        const std::string_view caption = kRunningConsoleCaptions[index];
        if (!windowExists(caption)) {
            continue;
        }
        RunningConsoleNotice notice{"收银台已打开，请您右键点击电脑屏幕右下脚QZ图标！", "提示",
                                    std::nullopt};
        if (index != 1) {
            notice.ownerCaption = std::string(caption);
        }
        return notice;
    }
    return std::nullopt;
}

}  // namespace zn::console
