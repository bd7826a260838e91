#include "config/CounterAddress.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zn::config
