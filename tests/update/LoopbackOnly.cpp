#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

// The tests' servers are on loopback: no proxy from the environment may see their requests.
class LoopbackOnly : public ::testing::Environment {
public:
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
            unsetenv(name);
        }
        setenv("no_proxy", "*", 1);
        setenv("NO_PROXY", "*", 1);
    }
};

const auto* const kLoopbackOnly = ::testing::AddGlobalTestEnvironment(new LoopbackOnly);

}  // namespace
