#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/LineStream.h"
#include "update/UpdateRun.h"

// The seat update service's line protocol on its Unix socket. The launcher sends the one request
// there is; the service answers with progress lines, each a text of the launcher's window, and
// one result line, then closes. A launcher that hangs up abandons the run (unless it is deploying).
namespace zn::launcher {

inline constexpr std::string_view kServiceRequest = "run";
// Longer lines are hostile or broken; the connection ends there.
inline constexpr std::size_t kMaxServiceLineBytes = 256;

using ServiceDeadline = LineDeadline;

std::string ProgressLine(std::string_view text);
std::string ResultLine(UpdateResult result);

// One line of the service's answer, parsed; nullopt for anything but a known progress text or a
// known result.
struct ServiceLine {
    std::optional<std::string_view> progress;  // one of the kProgress texts
    std::optional<UpdateResult> result;
};
std::optional<ServiceLine> ParseServiceLine(std::string_view line);

}  // namespace zn::launcher
