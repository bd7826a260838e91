#include "NetNamespace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "ChildProcess.h"

namespace zn::test {
namespace {

constexpr const char* kMarker = "ZN_TEST_NETNS";

// Loopback, then a veth pair whose far end stays in the namespace: broadcasts stay inside.
constexpr const char* kSetup =
    "ip link set lo up && ip link add v0 type veth peer name v1 && "
    "ip addr add 10.77.0.1/24 brd + dev v0 && ip link set v0 up && ip link set v1 up && "
    "ip route add default dev v0 && exec \"$0\" \"$1\"";

// The exit code; -1 when it could not start or had to be killed at the limit.
int Run(std::vector<std::string> arguments, std::chrono::seconds limit) {
    ChildProcess child({.arguments = std::move(arguments)});
    return child.WaitForExit(limit).value_or(-1);
}

}  // namespace

bool InsideTestNetworkNamespace() {
    const char* marker = std::getenv(kMarker);
    return marker != nullptr && std::string(marker) == "1";
}

NamespaceRun RunCurrentTestInNetworkNamespace() {
    NamespaceRun run;
    if (Run({"unshare", "-n", "true"}, std::chrono::seconds(10)) != 0) {
        run.skipped = true;
        run.why = "no permission to make a network namespace (needs root and util-linux)";
        return run;
    }
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    setenv(kMarker, "1", 1);
    // Within CTest's own limit for the test, so that a hung run fails here with its verdict.
    run.exitCode =
        Run({"unshare", "-n", "sh", "-c", kSetup, self, filter}, std::chrono::seconds(240));
    unsetenv(kMarker);
    return run;
}

}  // namespace zn::test
