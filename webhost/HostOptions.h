#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "WebHost.h"

namespace zn::webhost {

struct HostOptions {
    int port = 8280;
    bool showHelp = false;
    WebHostConfig host;  // pagesFolder stays empty unless --pages was given
};

struct ParsedOptions {
    std::optional<HostOptions> options;  // nullopt on a bad command line
    std::string error;                   // why, in one line
};

// Reads the command line (without the program name).
ParsedOptions ParseHostOptions(std::span<const std::string_view> arguments);

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackAddress(std::string_view address);

std::string UsageText();

}  // namespace zn::webhost
