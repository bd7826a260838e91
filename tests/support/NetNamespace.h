#pragma once

#include <string>

namespace zn::test {

// Tests that broadcast run only inside a network namespace of their own: the test re-runs itself
// there (loopback up, and a veth pair 10.77.0.1/24 with the default route on it, so a broadcast
// to 255.255.255.255 reaches this namespace's sockets and goes nowhere else).
bool InsideTestNetworkNamespace();

struct NamespaceRun {
    bool skipped = false;  // no permission to make a namespace here
    std::string why;
    int exitCode = -1;
};
NamespaceRun RunCurrentTestInNetworkNamespace();

}  // namespace zn::test

// First statement of a test that may broadcast: outside the namespace it runs the same test
// inside one and takes its verdict; inside, the test body goes on.
#define ZN_RUN_INSIDE_NETWORK_NAMESPACE()                                                    \
    do {                                                                                     \
        if (!::zn::test::InsideTestNetworkNamespace()) {                                     \
            const auto zn_run = ::zn::test::RunCurrentTestInNetworkNamespace();              \
            if (zn_run.skipped) {                                                            \
                GTEST_SKIP() << zn_run.why;                                                  \
            }                                                                                \
            ASSERT_EQ(zn_run.exitCode, 0) << "the test failed inside its network namespace"; \
            return;                                                                          \
        }                                                                                    \
    } while (false)
