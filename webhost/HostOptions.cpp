#include "HostOptions.h"

#include <arpa/inet.h>

#include <charconv>

namespace zn::webhost {

namespace {

std::optional<int> ParsePort(std::string_view text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

}  // namespace

bool IsLoopbackAddress(std::string_view address) {
    if (address == "localhost") {
        return true;
    }
    const std::string text(address);
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    return inet_pton(AF_INET6, text.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

ParsedOptions ParseHostOptions(std::span<const std::string_view> arguments) {
    HostOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        if (name == "--help" || name == "-h") {
            options.showHelp = true;
            continue;
        }
        if (name == "--allow-lan") {
            options.host.allowLan = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            return {std::nullopt, "unknown option or missing value: " + std::string(name)};
        }
        const std::string_view value = arguments[++i];
        if (name == "--port") {
            const auto port = ParsePort(value);
            if (!port) {
                return {std::nullopt, "not a port number: " + std::string(value)};
            }
            options.port = *port;
        } else if (name == "--bind") {
            options.host.bindAddress = value;
        } else if (name == "--pages") {
            options.host.pagesFolder = std::filesystem::path(value);
        } else if (name == "--releases") {
            options.host.releasesFolder = std::filesystem::path(value);
        } else if (name == "--user") {
            options.host.user = value;
        } else if (name == "--password") {
            options.host.password = value;
        } else if (name == "--customer-id") {
            options.host.customerId = value;
        } else {
            return {std::nullopt, "unknown option: " + std::string(name)};
        }
    }
    if (!options.host.allowLan && !IsLoopbackAddress(options.host.bindAddress)) {
        return {std::nullopt, "refusing to listen on " + options.host.bindAddress +
                                  ", which is not a loopback address (add --allow-lan to mean it)"};
    }
    return {options, {}};
}

std::string UsageText() {
    return "usage: zentrova-webhost [--port N] [--bind ADDR] [--allow-lan] [--pages DIR]\n"
           "                        [--releases DIR] [--user NAME] [--password TEXT]\n"
           "                        [--customer-id ID]\n"
           "  --port N           port to listen on (default 8280; 0 picks a free one)\n"
           "  --bind ADDR        address to listen on (default 127.0.0.1; loopback only unless\n"
           "                     --allow-lan is given)\n"
           "  --pages DIR        folder of the pages (default: 'pages' next to the program)\n"
           "  --releases DIR     serve the update releases in DIR under their paths\n"
           "  --user, --password the back office's demo account (default demo / 1234)\n"
           "  --customer-id ID   shop customer id of the counter (default 12)\n";
}

}  // namespace zn::webhost
