#include "SeatGreeting.h"

#include <sys/socket.h>

#include "net/Frame.h"
#include "net/SocketAddress.h"

namespace zn::e2e {
namespace {

// A seat's socket never waits longer than this for the console.
constexpr timeval kSeatReceiveLimit{10, 0};

}  // namespace

std::optional<std::string> GreetConsole(CTcpSocket& connection, std::string_view address,
                                        std::uint16_t consolePort) {
    const auto console = CSocketAddress::FromDotted(address, consolePort);
    if (!console || !connection.Create(0) || !connection.Connect(&*console)) {
        return std::nullopt;
    }
    setsockopt(connection.Handle(), SOL_SOCKET, SO_RCVTIMEO, &kSeatReceiveLimit,
               sizeof kSeatReceiveLimit);
    const auto greeting = ReceiveFrame(connection, kRequestFrameCap);
    if (!greeting) {
        return std::nullopt;
    }
    return TextUpToNul(*greeting);
}

}  // namespace zn::e2e
