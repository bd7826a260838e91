#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/TcpSocket.h"

namespace zn::e2e {

// Opens a seat's request connection to the console's port at `address`, an address of this
// machine, so that the console sees the seat come from it: the greeting's text (GBK, without its
// NUL), or nullopt when the console closed the connection without one. The connection stays open
// in `connection`.
std::optional<std::string> GreetConsole(CTcpSocket& connection, std::string_view address,
                                        std::uint16_t consolePort);

}  // namespace zn::e2e
