#include "client/ClientStartup.h"

#include "platform/WindowDirectory.h"

namespace zn::client {

std::string ParseLaunchParameter(std::span<const std::string_view> arguments) {
    constexpr std::string_view kPrefix = "-p";
    if (arguments.empty() || !arguments.front().starts_with(kPrefix)) {
        return {};
    }
    return std::string(arguments.front().substr(kPrefix.size()));
}

bool ShowRunningClient(const WindowDirectory& windows) {
    const auto running = windows.Find({}, kRunningClientCaption);
    if (!running) {
        return false;
    }
    windows.SendCopyData(*running, kShowRunningClient, {}, kShowRequestTimeout);
    return true;
}

}  // namespace zn::client
