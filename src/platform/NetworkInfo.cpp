#include "platform/NetworkInfo.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdio>

namespace zn::NetworkInfo {
namespace {

bool IsLoopbackAddress(std::uint32_t address) {
    return (address >> 24) == 127;
}

bool IsConfigured(const Ipv4Entry& entry) {
    return entry.address != 0 && !IsLoopbackAddress(entry.address);
}

std::string Dotted(std::uint32_t address) {
    in_addr networkOrder{};
    networkOrder.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &networkOrder, text, sizeof text);
    return text;
}

std::string HexDigits(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(byte));
        text += pair;
    }
    return text;
}

class InterfaceTable {
public:
    InterfaceTable() {
        if (getifaddrs(&m_first) != 0) {
            m_first = nullptr;
        }
    }
    ~InterfaceTable() {
        if (m_first) {
            freeifaddrs(m_first);
        }
    }
    InterfaceTable(const InterfaceTable&) = delete;
    InterfaceTable& operator=(const InterfaceTable&) = delete;

    std::vector<Ipv4Entry> Ipv4Entries() const {
        std::vector<Ipv4Entry> entries;
        for (const ifaddrs* entry = m_first; entry; entry = entry->ifa_next) {
            if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) {
                continue;
            }
            Ipv4Entry ipv4;
            ipv4.interfaceName = entry->ifa_name ? entry->ifa_name : "";
            ipv4.flags = entry->ifa_flags;
            ipv4.address =
                ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
            if (entry->ifa_netmask) {
                ipv4.netmask = ntohl(
                    reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
            }
            entries.push_back(std::move(ipv4));
        }
        return entries;
    }

    std::vector<LinkEntry> LinkEntries() const {
        std::vector<LinkEntry> entries;
        for (const ifaddrs* entry = m_first; entry; entry = entry->ifa_next) {
            if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET) {
                continue;
            }
            const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
            const std::size_t length =
                std::min<std::size_t>(link->sll_halen, sizeof link->sll_addr);
            LinkEntry linkEntry;
            linkEntry.interfaceName = entry->ifa_name ? entry->ifa_name : "";
            linkEntry.flags = entry->ifa_flags;
            linkEntry.hardwareAddress.assign(link->sll_addr, link->sll_addr + length);
            entries.push_back(std::move(linkEntry));
        }
        return entries;
    }

private:
    ifaddrs* m_first = nullptr;
};

}  // namespace

std::optional<std::string> ChooseOwnIpv4Address(std::span<const Ipv4Entry> entries) {
    for (const Ipv4Entry& entry : entries) {
        if ((entry.flags & IFF_LOOPBACK) == 0 && entry.netmask != 0 && IsConfigured(entry)) {
            return Dotted(entry.address);
        }
    }
    return std::nullopt;
}

std::optional<std::string> ChooseHardwareAddress(std::span<const LinkEntry> links,
                                                 std::span<const Ipv4Entry> addresses) {
    for (const LinkEntry& link : links) {
        const auto& hardware = link.hardwareAddress;
        if ((link.flags & IFF_LOOPBACK) != 0 || hardware.size() != 6 ||
            std::all_of(hardware.begin(), hardware.end(), [](std::uint8_t b) { return b == 0; })) {
            continue;
        }
        // Like the adapter list, a card counts by its first IPv4 address only.
        const auto firstAddress = std::find_if(
            addresses.begin(), addresses.end(),
            [&](const Ipv4Entry& entry) { return entry.interfaceName == link.interfaceName; });
        if (firstAddress != addresses.end() && IsConfigured(*firstAddress)) {
            return HexDigits(hardware);
        }
    }
    return std::nullopt;
}

std::optional<std::string> OwnIpv4Address() {
    return ChooseOwnIpv4Address(InterfaceTable().Ipv4Entries());
}

std::optional<std::string> HardwareAddress() {
    const InterfaceTable table;
    return ChooseHardwareAddress(table.LinkEntries(), table.Ipv4Entries());
}

}  // namespace zn::NetworkInfo
