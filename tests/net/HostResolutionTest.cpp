#include "net/HostResolution.h"

#include <gtest/gtest.h>

#include <string>

namespace zn {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

// A label over 63 characters cannot be put into a query: the resolver fails without sending one,
// so the test never reaches a name server.
const std::string kUnresolvable = std::string(64, 'a') + ".invalid";

TEST(ResolveHostTest, DottedAndNamedHostsResolveEmptyAndZeroDoNot) {
    EXPECT_EQ(ResolveHost("127.0.0.1"), kLoopback);
    EXPECT_EQ(ResolveHost("localhost"), kLoopback);
    EXPECT_EQ(ResolveHost(""), std::nullopt);
    EXPECT_EQ(ResolveHost("0.0.0.0"), std::nullopt);
    EXPECT_EQ(ResolveHost(kUnresolvable), std::nullopt);
}

}  // namespace
}  // namespace zn
