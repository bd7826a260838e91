#pragma once

#include <string>
#include <string_view>

namespace zn::client {

// mainPage + "?" + greeting + "&ip=" + ip [+ "&" + launchParameter] + "&first=1". The greeting
// (UTF-8) keeps its "&" and "=" and goes in as code page 936 bytes, percent-encoded with "%", "#",
// "+", space, control bytes and Chinese text, so that a seat number "三楼" reaches the shop as
// "%C8%FD%C2%A5".
std::string BuildShopAddress(std::string_view mainPage, std::string_view greeting,
                             std::string_view ip, std::string_view launchParameter);

// The "ip" value of a seat at the counter.
inline constexpr std::string_view kCounterIp = "0";

// A dotted IPv4 address that can name this seat to the console: not loopback, not 0.0.0.0.
bool IsUsableOwnAddress(std::string_view dotted);

}  // namespace zn::client
