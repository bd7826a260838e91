// The headless demo's customer and cashier, and the demo's steps that look at the programs:
//   zn_demo_driver settings --state DIR --port P --console-port P --seat-port P
//                           --discovery-port P --release-key KEY
//       writes the console's and the seat's registry values into the demo's folder;
//   zn_demo_driver greeting --state DIR --seat-ip ADDRESS --console-port P [--started EPOCH_MS]
//       waits until the logged-in console greets the seat, and notes the greeting;
//   zn_demo_driver launcher --state DIR [--started EPOCH_MS]
//       waits until the seat's launcher has started the seat client, and notes what it did;
//   zn_demo_driver play --state DIR --port P --releases DIR --counter-display D
//                       --seat-display D --seat-ip ADDRESS [--started EPOCH_MS]
//                       [--pictures DIR --release-port P]
//       serves the local web host (with the sample releases) behind the recording front at the
//       demo's port, and once the demo's script has started the programs and sent SIGUSR1, plays
//       both people through their pages. With --pictures it also serves the seat's releases at
//       the release port, holding them a moment for the launcher's picture, and takes the
//       README's and the guide's pictures into that folder.
// Exits with 0 when every step was seen, 1 when one was not, 2 on wrong arguments.
#include <signal.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "BackOfficeFront.h"
#include "DemoRoad.h"
#include "DemoSteps.h"
#include "DocsPictures.h"
#include "ReleaseServer.h"
#include "Transcript.h"
#include "platform/Log.h"

namespace {

using namespace zn::e2e;

// The build, the launcher's update and two browsers come before the go.
constexpr time_t kGoLimitSeconds = 300;
constexpr int kWrongArguments = 2;

std::optional<std::uint64_t> Number(std::string_view text, std::uint64_t max) {
    std::uint64_t value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc{} || end != text.data() + text.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

// "--name value" pairs after the step's name.
class Options {
public:
    Options(int argc, char** argv) : m_complete(argc % 2 == 0) {
        for (int i = 2; i + 1 < argc; i += 2) {
            m_values[argv[i]] = argv[i + 1];
        }
    }

    // Whether every pair is whole and each of the names was given.
    bool Have(std::initializer_list<std::string_view> names) const {
        for (const std::string_view name : names) {
            if (!m_values.contains(name) || m_values.at(name).empty()) {
                return false;
            }
        }
        return m_complete;
    }
    std::string Text(std::string_view name) const {
        const auto value = m_values.find(name);
        return value == m_values.end() ? std::string{} : std::string(value->second);
    }
    // 0 when it is missing or no port.
    std::uint16_t Port(std::string_view name) const {
        return static_cast<std::uint16_t>(Number(Text(name), 65535).value_or(0));
    }
    // When the demo started (now unless given); nullopt when given wrong.
    std::optional<std::chrono::system_clock::time_point> Started() const {
        if (!m_values.contains("--started")) {
            return std::chrono::system_clock::now();
        }
        const auto milliseconds = Number(Text("--started"), UINT64_MAX / 2);
        if (!milliseconds) {
            return std::nullopt;
        }
        return std::chrono::system_clock::time_point(
            std::chrono::milliseconds(static_cast<std::int64_t>(*milliseconds)));
    }

private:
    bool m_complete;
    std::map<std::string_view, std::string_view, std::less<>> m_values;
};

int Usage() {
    std::fputs(
        "usage: zn_demo_driver settings --state DIR --port P --console-port P --seat-port P "
        "--discovery-port P --release-key KEY\n"
        "       zn_demo_driver greeting --state DIR --seat-ip ADDRESS --console-port P "
        "[--started EPOCH_MS]\n"
        "       zn_demo_driver launcher --state DIR [--started EPOCH_MS]\n"
        "       zn_demo_driver play --state DIR --port P --releases DIR --counter-display D "
        "--seat-display D --seat-ip ADDRESS [--started EPOCH_MS] [--pictures DIR "
        "--release-port P]\n",
        stderr);
    return kWrongArguments;
}

Transcript TranscriptOf(const Options& options) {
    return Transcript(std::filesystem::path(options.Text("--state")) / "output" / "transcript.txt",
                      *options.Started());
}

int Settings(const Options& options) {
    const DemoPorts ports{.webHost = options.Port("--port"),
                          .console = options.Port("--console-port"),
                          .seat = options.Port("--seat-port"),
                          .discovery = options.Port("--discovery-port")};
    if (!options.Have({"--state", "--release-key"}) || ports.webHost == 0 || ports.console == 0 ||
        ports.seat == 0 || ports.discovery == 0) {
        return Usage();
    }
    if (!WriteDemoSettings(std::filesystem::path(options.Text("--state")) / "registry", ports,
                           options.Text("--release-key"))) {
        std::fputs("zn_demo_driver: the demo's registry values could not be written\n", stderr);
        return 1;
    }
    return 0;
}

int Greeting(const Options& options) {
    const std::uint16_t port = options.Port("--console-port");
    if (!options.Have({"--state", "--seat-ip"}) || port == 0 || !options.Started()) {
        return Usage();
    }
    Transcript transcript = TranscriptOf(options);
    return NoteGreeting(options.Text("--seat-ip"), port, transcript) ? 0 : 1;
}

int Launcher(const Options& options) {
    if (!options.Have({"--state"}) || !options.Started()) {
        return Usage();
    }
    Transcript transcript = TranscriptOf(options);
    return NoteLauncher(options.Text("--state"), transcript) ? 0 : 1;
}

bool WaitForGo(const sigset_t& go) {
    const timespec limit{kGoLimitSeconds, 0};
    return sigtimedwait(&go, nullptr, &limit) == SIGUSR1;
}

int Play(const Options& options, const sigset_t& go) {
    const std::uint16_t port = options.Port("--port");
    const bool pictures = !options.Text("--pictures").empty();
    if (!options.Have({"--state", "--counter-display", "--seat-display", "--seat-ip"}) ||
        port == 0 || !options.Started() || (pictures && options.Port("--release-port") == 0)) {
        return Usage();
    }
    const DemoPlaces places{.state = options.Text("--state"),
                            .counterDisplay = options.Text("--counter-display"),
                            .seatDisplay = options.Text("--seat-display"),
                            .seatAddress = options.Text("--seat-ip"),
                            .pictures = options.Text("--pictures")};
    Transcript transcript = TranscriptOf(options);
    // The web host's request lines go where the demo's script reads them: stderr.
    zn::log::StartProgramLog("zn_demo_driver");
    const std::filesystem::path releases = options.Text("--releases");
    BackOfficeFront front({.port = port, .releasesFolder = releases, .logRequests = true});
    if (front.Port() != port) {
        transcript.Fail("the web host cannot serve at port " + std::to_string(port));
        return 1;
    }
    std::optional<ReleaseServer> seatReleases;
    if (pictures) {
        seatReleases.emplace(releases, options.Port("--release-port"));
        if (seatReleases->Port() == 0) {
            transcript.Fail("the seat's releases cannot be served");
            return 1;
        }
    }
    std::fprintf(stderr, "zn_demo_driver: serving http://127.0.0.1:%d/\n", front.Port());
    if (seatReleases) {
        PictureLauncher(*seatReleases, places, transcript);
    }
    if (!WaitForGo(go)) {
        transcript.Fail("the programs were not started in time");
        return 1;
    }
    return PlayCustomerAndCashier(front, places, transcript) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Blocked before the front's threads start, so that only WaitForGo takes it.
    sigset_t go;
    sigemptyset(&go);
    sigaddset(&go, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &go, nullptr);

    const std::string_view step = argc > 1 ? argv[1] : "";
    const Options options(argc, argv);
    if (step == "settings") {
        return Settings(options);
    }
    if (step == "greeting") {
        return Greeting(options);
    }
    if (step == "launcher") {
        return Launcher(options);
    }
    if (step == "play") {
        return Play(options, go);
    }
    return Usage();
}
