// The headless demo's customer and cashier. Serves the local web host (with the sample releases)
// behind the recording front at the demo's port, and once the demo's script has started the
// programs and sent SIGUSR1, plays both people through their pages:
//   zn_demo_driver --port P --releases DIR --state DIR --counter-display D --seat-display D
//                  --seat-ip ADDRESS [--started EPOCH_MS]
// Exits with 0 when every step was seen, 1 when one was not, 2 on wrong arguments.
#include <signal.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "BackOfficeFront.h"
#include "DemoRoad.h"
#include "Transcript.h"

namespace {

using namespace zn::e2e;

// The build, the launcher's update and two browsers come before the go.
constexpr time_t kGoLimitSeconds = 300;

std::optional<std::uint64_t> Number(std::string_view text, std::uint64_t max) {
    std::uint64_t value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc{} || end != text.data() + text.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

struct Arguments {
    std::uint16_t port = 0;
    std::filesystem::path releases;
    DemoPlaces places;
    std::chrono::system_clock::time_point started = std::chrono::system_clock::now();
};

std::optional<Arguments> Parse(int argc, char** argv) {
    std::map<std::string_view, std::string_view> values;
    for (int i = 1; i + 1 < argc; i += 2) {
        values[argv[i]] = argv[i + 1];
    }
    const auto port = Number(values["--port"], 65535);
    if (argc % 2 == 0 || !port || *port == 0 || values["--state"].empty() ||
        values["--counter-display"].empty() || values["--seat-display"].empty() ||
        values["--seat-ip"].empty()) {
        return std::nullopt;
    }
    Arguments arguments{.port = static_cast<std::uint16_t>(*port),
                        .releases = values["--releases"],
                        .places = {.state = values["--state"],
                                   .counterDisplay = std::string(values["--counter-display"]),
                                   .seatDisplay = std::string(values["--seat-display"]),
                                   .seatAddress = std::string(values["--seat-ip"])}};
    if (values.contains("--started")) {
        const auto milliseconds = Number(values["--started"], UINT64_MAX / 2);
        if (!milliseconds) {
            return std::nullopt;
        }
        arguments.started = std::chrono::system_clock::time_point(
            std::chrono::milliseconds(static_cast<std::int64_t>(*milliseconds)));
    }
    return arguments;
}

bool WaitForGo(const sigset_t& go) {
    const timespec limit{kGoLimitSeconds, 0};
    return sigtimedwait(&go, nullptr, &limit) == SIGUSR1;
}

}  // namespace

int main(int argc, char** argv) {
    // Blocked before the front's threads start, so that only WaitForGo takes it.
    sigset_t go;
    sigemptyset(&go);
    sigaddset(&go, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &go, nullptr);

    const auto arguments = Parse(argc, argv);
    if (!arguments) {
        std::fputs(
            "usage: zn_demo_driver --port P --releases DIR --state DIR --counter-display D "
            "--seat-display D --seat-ip ADDRESS [--started EPOCH_MS]\n",
            stderr);
        return 2;
    }
    Transcript transcript(arguments->places.state / "output" / "transcript.txt",
                          arguments->started);
    BackOfficeFront front(
        {.port = arguments->port, .releasesFolder = arguments->releases, .logRequests = true});
    if (front.Port() != arguments->port) {
        transcript.Fail("the web host cannot serve at port " + std::to_string(arguments->port));
        return 1;
    }
    std::fprintf(stderr, "zn_demo_driver: serving http://127.0.0.1:%d/\n", front.Port());
    if (!WaitForGo(go)) {
        transcript.Fail("the programs were not started in time");
        return 1;
    }
    return PlayCustomerAndCashier(front, arguments->places, transcript) ? 0 : 1;
}
