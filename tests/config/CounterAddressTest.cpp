#include "config/CounterAddress.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/HostResolution.h"

namespace zn::config {
namespace {

TEST(CounterAddressTest, AnEmptyNameIsTheLocalComputer) {
    const std::string local = LocalHostName();
    ASSERT_FALSE(local.empty());
    EXPECT_EQ(LookUpHost(""), ResolveHost(local));
    EXPECT_TRUE(LookUpHost(""));
}

TEST(CounterAddressTest, DottedAndNamedHostsAreLookedUpAndZeroIsNoAddress) {
    EXPECT_EQ(LookUpHost("192.168.0.10"), 0xC0A8000Au);
    EXPECT_EQ(LookUpHost("localhost"), 0x7F000001u);
    EXPECT_EQ(LookUpHost("0.0.0.0"), std::nullopt);
}

TEST(CounterAddressTest, ALoopbackOnlyNameIsTheCounterItsLanAddressStandsIn) {
    constexpr std::uint32_t kStockHostName = 0x7F000101;  // 127.0.1.1
    constexpr std::uint32_t kLan = 0x0A4D0001;
    const std::vector<std::uint32_t> loopbackOnly = {kStockHostName, 0x7F000001};
    EXPECT_EQ(CounterAddressFor(loopbackOnly, kLan), kLan);
    EXPECT_EQ(CounterAddressFor(loopbackOnly, std::nullopt), std::nullopt);
    const std::vector<std::uint32_t> mixed = {kStockHostName, 0xC0A8000A};
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(CounterAddressFor(mixed, kLan), 0xC0A8000Au) << "a loopback address was chosen";
    }
}

}  // namespace
}  // namespace zn::config
