// The real console program, offscreen, logged in to the local web host that this process serves,
// its seat list naming the load tool's seats. The load tool measures the console's own process
// (its pid is on the ready line), not this one.
//
//   zn_console_program --folder DIR [--seats N] [--feedback-port P] [--log-dir DIR]
//                      [--reminder-minutes M]
//
// ZN_BENCH_CONSOLE_PROGRAM names another build of the console to measure (an earlier one, for a
// before-and-after in one run).
//
// Prints "ready <request port> <discovery port> <console pid>" once the console greets a seat as
// logged in; on SIGINT or SIGTERM ends the console with its browser processes, then prints what
// it announced and logged.

#include <arpa/inet.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <thread>

#include "BenchSupport.h"
#include "ChildProcess.h"
#include "ConsoleFolder.h"
#include "WebHost.h"
#include "console/ConsoleSettings.h"
#include "net/Frame.h"
#include "net/SocketAddress.h"
#include "net/TcpSocket.h"
#include "platform/Registry.h"

namespace {

using namespace zn;
using namespace std::chrono_literals;

struct Options {
    std::filesystem::path folder;
    std::filesystem::path logFolder;
    std::size_t seats = 2000;
    std::uint16_t feedbackPort = 18004;
    int reminderMinutes = -1;  // -1: not set
};

struct ConsolePorts {
    std::uint16_t request = 0;
    std::uint16_t discovery = 0;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        double number = 0;
        if (name == "--folder") {
            options.folder = argv[i + 1];
        } else if (name == "--log-dir") {
            options.logFolder = argv[i + 1];
        } else if (!bench::ParseNumber(name, argv[i + 1], number)) {
            return std::nullopt;
        } else if (name == "--seats" && number >= 1) {
            options.seats = static_cast<std::size_t>(number);
        } else if (name == "--feedback-port" && number >= 1 && number <= 65535) {
            options.feedbackPort = static_cast<std::uint16_t>(number);
        } else if (name == "--reminder-minutes" && number >= 0 && number <= 1440) {
            options.reminderMinutes = static_cast<int>(number);
        } else {
            std::fprintf(stderr, "bad option %s\n", argv[i]);
            return std::nullopt;
        }
    }
    if (options.folder.empty() || argc % 2 == 0) {
        std::fprintf(stderr,
                     "usage: zn_console_program --folder DIR [--seats N] [--feedback-port P] "
                     "[--log-dir DIR] [--reminder-minutes M]\n");
        return std::nullopt;
    }
    if (options.logFolder.empty()) {
        options.logFolder = options.folder / "log";
    }
    return options;
}

// A loopback port free now, below the range the system hands out to connections by itself, so
// that no connection of the load (nor its TIME_WAIT) takes it before the console binds it.
std::uint16_t FreeLoopbackPort(int type) {
    constexpr int kFirst = 20000;
    constexpr int kCount = 12000;
    std::random_device random;
    const int offset = static_cast<int>(random() % kCount);
    for (int i = 0; i < kCount; ++i) {
        const auto port = static_cast<std::uint16_t>(kFirst + (offset + i) % kCount);
        const int probe = socket(AF_INET, type | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        const bool bound =
            probe >= 0 && bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (probe >= 0) {
            close(probe);
        }
        if (bound) {
            return port;
        }
    }
    return 0;
}

// The console's settings as the configuration tool leaves them; it logs in to the web host's demo
// account by itself (the login page carries the account's login query).
bool WriteSettings(const std::filesystem::path& registryFolder, int hostPort,
                   const ConsolePorts& ports, std::uint16_t feedbackPort, int reminderMinutes) {
    const Registry registry(registryFolder);
    const auto key = registry.CreateKey(RegistryRoot::LocalMachine, console::kConsoleKeyPath);
    const std::string host = "http://127.0.0.1:" + std::to_string(hostPort);
    return key &&
           key->SetString("LoginPage", host +
                                           "/wb/loginsyt.jsp?wbar=2&saleusername=demo&"
                                           "saleempname=小王&salepsw=1234&salemac=") &&
           key->SetString("MainPage_Murvel", host + "/wb/loginsyt.jsp") &&
           key->SetString("ViewTransPage_Murvel", host + "/jsp/empManage/noProcessInfo.jsp") &&
           key->SetString("TransactionDone1_Murvel", host + "/wb/send_trans_success.jsp") &&
           key->SetString("TransactionDone2_Murvel", host + "/wb/send_trans_fail.jsp") &&
           key->SetString("TransactionCancel_Murvel", host + "/wb/send_trans_cancel.jsp") &&
           key->SetDword("LocalPort", ports.request) && key->SetDword("RemotePort", feedbackPort) &&
           key->SetDword("BroadcastPort", ports.discovery) &&
           (reminderMinutes < 0 ||
            key->SetDword("ReminderMinutes", static_cast<std::uint32_t>(reminderMinutes)));
}

// A folder only its owner may enter, as the browser and the window directory want.
std::string PrivateFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
    return folder.string();
}

// Everything the console and its browser write stays in the folder; the browser runs offscreen
// without its sandbox (root) and without any network service of its own.
void SetProgramEnvironment(const Options& options) {
    const auto& folder = options.folder;
    setenv("ZENTROVA_REGISTRY", (folder / "registry").c_str(), 1);
    setenv("ZENTROVA_RUNTIME_DIR", PrivateFolder(folder / "run").c_str(), 1);
    setenv("ZENTROVA_DRIVE_C", (folder / "c").c_str(), 1);
    setenv("ZENTROVA_LOG_DIR", options.logFolder.c_str(), 1);
    setenv("ZENTROVA_DIALOG_LOG", (options.logFolder / "dialogs.jsonl").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", PrivateFolder(folder / "xdg").c_str(), 1);
    setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
    setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS",
           "--disable-gpu --no-sandbox --disable-background-networking --disable-component-update "
           "--disable-sync --no-first-run",
           1);
}

// The program file in its own program folder (the seat list and the notice page are found there).
std::optional<std::string> PlaceProgram(const std::filesystem::path& folder) {
    const auto file = folder / "ZentrovaNubraConsole";
    const char* other = std::getenv("ZN_BENCH_CONSOLE_PROGRAM");
    const std::filesystem::path program =
        other != nullptr && *other != '\0' ? other : ZN_CONSOLE_PROGRAM;
    std::error_code error;
    std::filesystem::create_hard_link(program, file, error);
    if (error) {
        std::filesystem::copy_file(program, file, error);
    }
    return error ? std::nullopt : std::optional<std::string>(file.string());
}

// Greeted with the customer id only once the console has logged in to the back office.
bool GreetsAsLoggedIn(std::uint16_t port) {
    const auto console = CSocketAddress::FromDotted("127.0.0.1", port);
    CTcpSocket seat;
    if (!console || !seat.Create(0) || !seat.Connect(&*console)) {
        return false;
    }
    const timeval limit{2, 0};
    setsockopt(seat.Handle(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const auto greeting = ReceiveFrame(seat, kRequestFrameCap);
    return greeting && TextUpToNul(*greeting).find("&cid_murvel=") != std::string::npos;
}

bool WaitForLogin(zn::test::ChildProcess& console, std::uint16_t port, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (console.Running() && std::chrono::steady_clock::now() < deadline) {
        if (GreetsAsLoggedIn(port)) {
            return true;
        }
        std::this_thread::sleep_for(250ms);
    }
    return false;
}

// Counts the popups announced and the log's warnings and errors, and shows the first few.
void PrintWhatItDid(const std::filesystem::path& logFolder) {
    std::ifstream dialogs(logFolder / "dialogs.jsonl");
    std::size_t popups = 0;
    std::string line;
    while (std::getline(dialogs, line)) {
        popups += line.find("\"kind\":\"popup\"") != std::string::npos ? 1 : 0;
    }
    std::size_t warnings = 0;
    std::size_t errors = 0;
    std::string shown;
    std::error_code error;
    // The rotated files too: ZentrovaNubraConsole.log, ZentrovaNubraConsole.1.log, ...
    for (const auto& entry : std::filesystem::directory_iterator(logFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("ZentrovaNubraConsole.") || !name.ends_with(".log")) {
            continue;
        }
        std::ifstream log(entry.path());
        while (std::getline(log, line)) {
            const bool warning = line.find("] warning: ") != std::string::npos;
            const bool failure = line.find("] error: ") != std::string::npos;
            warnings += warning ? 1 : 0;
            errors += failure ? 1 : 0;
            if ((warning || failure) && warnings + errors <= 5) {
                shown += "  " + line + "\n";
            }
        }
    }
    std::printf("popups %zu, log warnings %zu, errors %zu (log in %s)\n%s", popups, warnings,
                errors, logFolder.c_str(), shown.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) {
        return 2;
    }
    bench::BlockStopSignals();
    // Ends with the load tool, even when that dies.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    bench::RaiseFileLimit();

    webhost::WebHost host(
        webhost::WebHostConfig{.pagesFolder = ZN_WEBHOST_PAGES_DIR, .logRequests = false});
    const auto hostPort = host.Start(0);
    const ConsolePorts ports{FreeLoopbackPort(SOCK_STREAM), FreeLoopbackPort(SOCK_DGRAM)};
    const auto programFolder = options->folder / "console";
    std::error_code error;
    std::filesystem::create_directories(options->logFolder, error);
    if (!hostPort || ports.request == 0 || ports.discovery == 0 ||
        !bench::PrepareConsoleFolder(programFolder, options->seats) ||
        !WriteSettings(options->folder / "registry", *hostPort, ports, options->feedbackPort,
                       options->reminderMinutes)) {
        std::fprintf(stderr, "cannot prepare %s\n", options->folder.c_str());
        return 1;
    }
    SetProgramEnvironment(*options);
    const auto program = PlaceProgram(programFolder);
    if (!program) {
        return 1;
    }
    zn::test::ChildProcess console({.arguments = {*program},
                                    .log = options->logFolder / "console-output.txt",
                                    .ownGroup = true});
    if (!console.Started()) {
        std::fprintf(stderr, "cannot start %s\n", program->c_str());
        return 1;
    }
    if (!WaitForLogin(console, ports.request, 90s)) {
        std::fprintf(stderr, "the console did not log in (see %s)\n",
                     (options->logFolder / "console-output.txt").c_str());
        return 1;
    }
    std::printf("ready %u %u %d\n", ports.request, ports.discovery, console.Pid());
    std::fflush(stdout);

    bench::WaitForStopSignal();
    console.Stop(3s);
    host.Stop();
    PrintWhatItDid(options->logFolder);
    return 0;
}
