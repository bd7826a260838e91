#include "FuzzSupport.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace zn::fuzz {
namespace {

[[noreturn]] void Abort(const char* what) {
    std::fprintf(stderr, "fuzz support: %s\n", what);
    std::abort();
}

void SendAndEnd(CTcpSocket& socket, std::span<const std::uint8_t> input) {
    const int size = static_cast<int>(input.size());
    if (socket.SendAll(input.data(), 0, size) != size) {
        Abort("cannot send over loopback");
    }
    shutdown(socket.Handle(), SHUT_WR);
}

}  // namespace

const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::string name = (std::filesystem::temp_directory_path() / "zn-fuzz-XXXXXX").string();
        if (!mkdtemp(name.data())) {
            Abort("cannot make a scratch folder");
        }
        static const std::string removal = name;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removal, ignored);
        });
        return std::filesystem::path(name);
    }();
    return folder;
}

std::vector<std::string_view> SplitInput(std::span<const std::uint8_t> input, char separator,
                                         std::size_t parts) {
    std::string_view rest(reinterpret_cast<const char*>(input.data()), input.size());
    std::vector<std::string_view> pieces;
    while (pieces.size() + 1 < parts) {
        const auto end = rest.find(separator);
        if (end == std::string_view::npos) {
            break;
        }
        pieces.push_back(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    pieces.push_back(rest);
    pieces.resize(parts);
    return pieces;
}

DeliveredInput DeliverOverLoopback(CTcpSocket& listener, std::span<const std::uint8_t> input) {
    DeliveredInput delivered;
    delivered.nearEnd = std::make_unique<CTcpSocket>();
    const auto server = CSocketAddress::FromDotted("127.0.0.1", ntohs(listener.Local().sin_port));
    if (!delivered.nearEnd->Create(0) || !delivered.nearEnd->Connect(&*server)) {
        Abort("cannot connect over loopback");
    }
    delivered.farEnd = listener.Accept(&delivered.farPeer);
    if (!delivered.farEnd) {
        Abort("cannot accept over loopback");
    }
    SendAndEnd(*delivered.nearEnd, input);
    return delivered;
}

void SendToServerAndWait(std::uint16_t port, std::span<const std::uint8_t> input) {
    CTcpSocket client;
    const auto server = CSocketAddress::FromDotted("127.0.0.1", port);
    // The server listens on a thread of its own, which may not have started yet.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!client.Create(0) || !client.Connect(&*server)) {
        if (std::chrono::steady_clock::now() > deadline) {
            Abort("cannot connect over loopback");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    SendAndEnd(client, input);
    char discard[512];
    pollfd readable{client.Handle(), POLLIN, 0};
    while (poll(&readable, 1, 10000) == 1) {
        if (recv(client.Handle(), discard, sizeof discard, 0) <= 0) {
            return;
        }
    }
    Abort("the server kept the connection open");
}

}  // namespace zn::fuzz
