#include "platform/NetworkInfo.h"

#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <regex>
#include <vector>

#include "NetNamespace.h"

namespace {

using zn::NetworkInfo::ChooseHardwareAddress;
using zn::NetworkInfo::ChooseOwnIpv4Address;
using zn::NetworkInfo::Ipv4Entry;
using zn::NetworkInfo::LinkEntry;

constexpr unsigned kUp = IFF_UP | IFF_RUNNING;
constexpr unsigned kLoopback = IFF_UP | IFF_RUNNING | IFF_LOOPBACK;

constexpr std::uint32_t Address(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                std::uint32_t d) {
    return (a << 24) | (b << 16) | (c << 8) | d;
}
constexpr std::uint32_t kMask24 = 0xFFFFFF00;
constexpr std::uint32_t kMask8 = 0xFF000000;

// The interface's hardware address asked through ioctl, independently of the code under test.
std::optional<std::string> HardwareAddressOf(const char* interfaceName) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, interfaceName, IFNAMSIZ - 1);
    const int result = ioctl(fd, SIOCGIFHWADDR, &request);
    close(fd);
    if (result != 0) {
        return std::nullopt;
    }
    char text[13] = {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(request.ifr_hwaddr.sa_data);
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2],
                  bytes[3], bytes[4], bytes[5]);
    return text;
}

const std::vector<std::uint8_t> kCard{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xEF};

TEST(NetworkInfoTest, OwnAddressIsTheFirstConfiguredOneInTableOrder) {
    const std::vector<Ipv4Entry> table{
        {"lo", kLoopback, Address(127, 0, 0, 1), kMask8},
        {"eth0", kUp, Address(192, 168, 1, 23), kMask24},
        {"eth1", kUp, Address(10, 0, 0, 5), kMask24},
    };
    EXPECT_EQ(ChooseOwnIpv4Address(table), "192.168.1.23");

    const std::vector<Ipv4Entry> reversed{table[0], table[2], table[1]};
    EXPECT_EQ(ChooseOwnIpv4Address(reversed), "10.0.0.5");
}

TEST(NetworkInfoTest, OwnAddressSkipsLoopbackAndUnconfiguredEntries) {
    const std::vector<Ipv4Entry> table{
        {"lo", kLoopback, Address(10, 1, 1, 1), kMask8},  // loopback flag, any address
        {"dummy0", kUp, Address(127, 0, 0, 2), kMask8},   // a 127/8 address elsewhere
        {"eth0", kUp, Address(192, 168, 1, 9), 0},        // 0 netmask
        {"eth1", kUp, 0, kMask24},                        // 0.0.0.0
        {"eth2", kUp, Address(172, 16, 0, 4), 0xFFFF0000},
    };
    EXPECT_EQ(ChooseOwnIpv4Address(table), "172.16.0.4");

    const std::vector<Ipv4Entry> onlyLoopback{table[0], table[1], table[2], table[3]};
    EXPECT_EQ(ChooseOwnIpv4Address(onlyLoopback), std::nullopt);
    EXPECT_EQ(ChooseOwnIpv4Address({}), std::nullopt);
}

TEST(NetworkInfoTest, HardwareAddressIsTwelveUpperCaseHexDigitsOfTheFirstConfiguredCard) {
    const std::vector<LinkEntry> links{
        {"lo", kLoopback, {0, 0, 0, 0, 0, 0}},
        {"ifb0", kUp, {0x02, 0x11, 0x22, 0x33, 0x44, 0x55}},  // no IPv4 address at all
        {"eth0", kUp, kCard},
        {"eth1", kUp, {0x02, 0, 0, 0, 0, 0x01}},
    };
    const std::vector<Ipv4Entry> addresses{
        {"lo", kLoopback, Address(127, 0, 0, 1), kMask8},
        {"eth0", kUp, Address(192, 168, 1, 23), kMask24},
        {"eth1", kUp, Address(10, 0, 0, 5), kMask24},
    };
    EXPECT_EQ(ChooseHardwareAddress(links, addresses), "001A2B3C4DEF");
}

TEST(NetworkInfoTest, HardwareAddressSkipsCardsThatDoNotQualify) {
    const std::vector<Ipv4Entry> addresses{
        {"lo", kLoopback, Address(127, 0, 0, 1), kMask8},
        {"eth0", kUp, 0, kMask24},  // its first address is 0.0.0.0, a later one does not count
        {"eth0", kUp, Address(192, 168, 1, 23), kMask24},
        {"zero", kUp, Address(10, 0, 0, 1), kMask24},
        {"short", kUp, Address(10, 0, 0, 2), kMask24},
        {"lo2", kLoopback, Address(10, 0, 0, 3), kMask24},
        {"eth1", kUp, Address(10, 0, 0, 5), kMask24},
    };
    const std::vector<LinkEntry> links{
        {"lo", kLoopback, {0, 0, 0, 0, 0, 0}},
        {"eth0", kUp, {0x02, 0x11, 0x22, 0x33, 0x44, 0x55}},
        {"zero", kUp, {0, 0, 0, 0, 0, 0}},
        {"short", kUp, {0x02, 0x11, 0x22, 0x33}},
        {"lo2", kLoopback, {0x02, 0x11, 0x22, 0x33, 0x44, 0x66}},
        {"eth1", kUp, kCard},
    };
    EXPECT_EQ(ChooseHardwareAddress(links, addresses), "001A2B3C4DEF");

    // A machine whose only adapter is the loopback one has no card address.
    EXPECT_EQ(ChooseHardwareAddress(std::span(links).first(1), std::span(addresses).first(1)),
              std::nullopt);
    EXPECT_EQ(ChooseHardwareAddress(links, {}), std::nullopt);
}

TEST(NetworkInfoTest, ReadsThisMachinesTable) {
    // Whatever this machine has, the answers keep their shape; without a card they are nullopt.
    if (const auto own = zn::NetworkInfo::OwnIpv4Address()) {
        EXPECT_TRUE(std::regex_match(*own, std::regex(R"(\d{1,3}(\.\d{1,3}){3})"))) << *own;
        EXPECT_FALSE(own->starts_with("127.")) << *own;
        EXPECT_NE(*own, "0.0.0.0");
    }
    if (const auto card = zn::NetworkInfo::HardwareAddress()) {
        EXPECT_TRUE(std::regex_match(*card, std::regex("[0-9A-F]{12}"))) << *card;
        EXPECT_NE(*card, "000000000000");
    }
}

TEST(NetworkInfoTest, FindsTheConfiguredCardOfAKnownNetwork) {
    // Not for broadcasting: the namespace gives a table whose answers are known.
    ZN_RUN_INSIDE_NETWORK_NAMESPACE();
    EXPECT_EQ(zn::NetworkInfo::OwnIpv4Address(), "10.77.0.1");

    // v1 has a hardware address but no IPv4 address, so the card is v0.
    const auto v0 = HardwareAddressOf("v0");
    ASSERT_TRUE(v0) << "cannot read v0's hardware address";
    EXPECT_EQ(zn::NetworkInfo::HardwareAddress(), *v0);
}

}  // namespace
