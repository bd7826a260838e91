#include "NetNamespace.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

extern char** environ;

namespace zn::test {
namespace {

constexpr const char* kMarker = "ZN_TEST_NETNS";

// Loopback, then a veth pair whose far end stays in the namespace: broadcasts stay inside.
constexpr const char* kSetup =
    "ip link set lo up && ip link add v0 type veth peer name v1 && "
    "ip addr add 10.77.0.1/24 brd + dev v0 && ip link set v0 up && ip link set v1 up && "
    "ip route add default dev v0 && exec \"$0\" \"$1\"";

int Spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace

bool InsideTestNetworkNamespace() {
    const char* marker = std::getenv(kMarker);
    return marker != nullptr && std::string(marker) == "1";
}

NamespaceRun RunCurrentTestInNetworkNamespace() {
    NamespaceRun run;
    if (Spawn({"unshare", "-n", "true"}) != 0) {
        run.skipped = true;
        run.why = "no permission to make a network namespace (needs root and util-linux)";
        return run;
    }
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    setenv(kMarker, "1", 1);
    run.exitCode = Spawn({"unshare", "-n", "sh", "-c", kSetup, self, filter});
    unsetenv(kMarker);
    return run;
}

}  // namespace zn::test
