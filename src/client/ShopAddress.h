#pragma once

#include <string>
#include <string_view>

namespace zn::client {

// mainPage + "?" + greeting + "&ip=" + ip [+ "&" + launchParameter] + "&first=1". The greeting
// goes in verbatim, as the console's pages expect it.
std::string BuildShopAddress(std::string_view mainPage, std::string_view greeting,
                             std::string_view ip, std::string_view launchParameter);

// The "ip" value of a seat at the counter.
inline constexpr std::string_view kCounterIp = "0";

// A dotted IPv4 address that can name this seat to the console: not loopback, not 0.0.0.0.
bool IsUsableOwnAddress(std::string_view dotted);

}  // namespace zn::client
