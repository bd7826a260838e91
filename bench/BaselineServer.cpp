// The floor under the console's figures: the same framing and the same threads per connection,
// nothing else. Each connection gets a greeting; for each request on it until the seat closes it,
// unless it is a message or a counter request, the page is pushed to the seat's address at the
// feedback port.
//
//   zn_baseline_server --page FILE [--feedback-port P]
//
// Prints "ready <port>" once it listens and serves until SIGINT or SIGTERM.

#include <arpa/inet.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <spdlog/spdlog.h>

#include "BenchSupport.h"
#include "console/SeatFeedback.h"
#include "net/Frame.h"
#include "net/SocketAddress.h"
#include "net/TcpSocket.h"
#include "platform/Threads.h"

namespace {

using namespace zn;

constexpr std::size_t kStackBytes = 256 * 1024;

void Serve(CTcpSocket& connection, const CSocketAddress& peer, std::uint16_t feedbackPort,
           const std::vector<std::byte>& page) {
    if (!SendTextFrame(connection, "&cid_murvel=10001&seat=1")) {
        return;
    }
    while (const auto body = ReceiveFrame(connection, kRequestFrameCap)) {
        const char kind = body->empty() ? '\0' : static_cast<char>((*body)[0]);
        if (kind != 'X' && kind != 'Z') {
            console::SendPageToSeat(peer, feedbackPort, page);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The floor does no logging; the page sender it shares with the console would log each page.
    spdlog::set_level(spdlog::level::off);
    std::string pageFile;
    double feedbackPort = 18004;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        if (name == "--page") {
            pageFile = argv[i + 1];
        } else if (name != "--feedback-port" ||
                   !bench::ParseNumber(name, argv[i + 1], feedbackPort)) {
            pageFile.clear();
            break;
        }
    }
    const auto page = pageFile.empty() ? std::nullopt : console::ReadPageFile(pageFile);
    if (!page || argc % 2 == 0) {
        std::fprintf(stderr, "usage: zn_baseline_server --page FILE [--feedback-port P]\n");
        return 2;
    }
    bench::RaiseFileLimit();
    bench::BlockStopSignals();

    CTcpSocket listener;
    if (!listener.Create(0) || !listener.Listen(128)) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    const auto port = static_cast<std::uint16_t>(feedbackPort);
    // Shared with the workers, which may outlive main's locals at exit.
    const auto shared = std::make_shared<const std::vector<std::byte>>(*page);
    std::thread acceptor([&] {
        while (listener.IsValid()) {
            CSocketAddress peer;
            std::shared_ptr<CTcpSocket> connection = listener.Accept(&peer);
            if (connection) {
                StartDetachedThread(
                    [connection, peer, port, shared] { Serve(*connection, peer, port, *shared); },
                    kStackBytes);
            }
        }
    });
    std::printf("ready %u 0\n", ntohs(listener.Local().sin_port));
    std::fflush(stdout);

    bench::WaitForStopSignal();
    listener.Close();
    acceptor.join();
    // Workers still running are ended with the process; they hold nothing but their sockets.
    return 0;
}
