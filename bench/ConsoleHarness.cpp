// The console's request service and discovery responder as the console runs them, logged in,
// with the sound going nowhere and the screen effects counted. The load tool and the abuse
// scripts measure this process from outside (its resident memory and threads are its own).
//
//   zn_console_harness --folder DIR [--seats N] [--feedback-port P] [--max-workers N] [--port P]
//
// Prints "ready <request port> <discovery port>" once both listen, serves until SIGINT or
// SIGTERM, then prints what the workers did.

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "BenchSupport.h"
#include "ConsoleFolder.h"
#include "console/ConsoleSettings.h"
#include "console/LoginState.h"
#include "console/NavigationHandOver.h"
#include "console/RequestService.h"
#include "console/RequestUi.h"
#include "platform/Log.h"
#include "platform/Registry.h"
#include "platform/SoundPlayer.h"
#include "platform/WindowDirectory.h"

namespace {

using namespace zn;
using namespace zn::console;

class CountingRequestUi final : public IRequestUi {
public:
    void ShowText(const std::string&, int, int, int, int) override { ++popups; }
    void ShowMaximizedAndRaise() override { ++raises; }
    void KeepCustomerMessage(const std::string&, const std::string&, const std::string&) override {}
    void KeepOrder(const std::string&, const std::string&, const std::string&) override {}

    std::atomic<long> popups{0};
    std::atomic<long> raises{0};
};

class NullSoundPlayer final : public ISoundPlayer {
public:
    void PlayFileSync(const std::filesystem::path&) override { ++played; }
    std::atomic<long> played{0};
};

struct Options {
    std::filesystem::path folder;
    std::size_t seats = 2000;
    std::uint16_t feedbackPort = 18004;
    std::uint16_t port = 0;
    RequestServiceLimits limits;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        double number = 0;
        if (name == "--folder") {
            options.folder = argv[i + 1];
            continue;
        }
        if (!bench::ParseNumber(name, argv[i + 1], number)) {
            return std::nullopt;
        }
        if (name == "--seats") {
            options.seats = static_cast<std::size_t>(number);
        } else if (name == "--feedback-port") {
            options.feedbackPort = static_cast<std::uint16_t>(number);
        } else if (name == "--max-workers") {
            options.limits.maxWorkers = static_cast<std::size_t>(number);
        } else if (name == "--port") {
            options.port = static_cast<std::uint16_t>(number);
        } else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return std::nullopt;
        }
    }
    if (options.folder.empty() || argc % 2 == 0) {
        std::fprintf(stderr,
                     "usage: zn_console_harness --folder DIR [--seats N] [--feedback-port P] "
                     "[--max-workers N] [--port P]\n");
        return std::nullopt;
    }
    return options;
}

bool WriteSettings(const Registry& registry, std::uint16_t feedbackPort) {
    const auto key = registry.CreateKey(RegistryRoot::LocalMachine, kConsoleKeyPath);
    return key && key->SetDword("RemotePort", feedbackPort);
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) {
        return 2;
    }
    bench::RaiseFileLimit();
    bench::BlockStopSignals();
    // A line per request, as the console writes it; into the folder unless told otherwise.
    setenv("ZENTROVA_LOG_DIR", (options->folder / "log").c_str(), 0);
    log::StartProgramLog("zn_console_harness");

    const Registry registry(options->folder / "registry");
    std::error_code error;
    std::filesystem::create_directories(options->folder / "windows", error);
    if (!bench::PrepareConsoleFolder(options->folder, options->seats) ||
        !WriteSettings(registry, options->feedbackPort)) {
        std::fprintf(stderr, "cannot prepare %s\n", options->folder.c_str());
        return 1;
    }
    const WindowDirectory windows(options->folder / "windows");
    LoginState login;
    login.RecordLogin("10001");
    CountingRequestUi ui;
    NullSoundPlayer sound;
    std::atomic<long> navigations{0};
    NavigationHandOver* handOver = nullptr;
    NavigationHandOver navigation([&] {
        while (!handOver->TakePending().empty()) {
            ++navigations;
        }
    });
    handOver = &navigation;

    RequestService service(
        RequestContext{registry, windows, login, navigation, ui, sound, options->folder},
        options->limits);
    if (!service.StartListener(options->port) || !service.StartDiscoveryResponder(0)) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    std::printf("ready %u %u\n", service.ListenerPort(), service.DiscoveryPort());
    std::fflush(stdout);

    bench::WaitForStopSignal();
    service.Stop();
    std::printf("popups %ld raises %ld navigations %ld sounds %ld\n", ui.popups.load(),
                ui.raises.load(), navigations.load(), sound.played.load());
    return 0;
}
