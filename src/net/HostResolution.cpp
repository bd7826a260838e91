#include "net/HostResolution.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <chrono>
#include <cstring>
#include <random>

namespace zn {
namespace {

std::size_t RandomIndex(std::size_t count) {
    thread_local std::mt19937 generator(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(generator);
}

}  // namespace

std::optional<std::uint32_t> ResolveHost(const std::string& host) {
    return AnyOf(ResolveHostAddresses(host));
}

std::vector<std::uint32_t> ResolveHostAddresses(const std::string& host) {
    if (host.empty()) {
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &results) != 0) {
        return {};
    }
    std::vector<std::uint32_t> addresses;
    for (const addrinfo* entry = results; entry != nullptr; entry = entry->ai_next) {
        sockaddr_in address{};
        std::memcpy(&address, entry->ai_addr, sizeof address);
        if (address.sin_addr.s_addr != 0) {
            addresses.push_back(ntohl(address.sin_addr.s_addr));
        }
    }
    freeaddrinfo(results);
    return addresses;
}

std::optional<std::uint32_t> AnyOf(std::span<const std::uint32_t> addresses) {
    if (addresses.empty()) {
        return std::nullopt;
    }
    return addresses[RandomIndex(addresses.size())];
}

}  // namespace zn
