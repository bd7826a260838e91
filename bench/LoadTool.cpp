// Plays a cafe's seats against the console (its request service in a harness, or the real
// program) and, in the same run, against a minimal server with the same framing, and reports
// both. The two run side by side and take orders in alternating slices of about 2 s.
//
//   zn_load [--server harness|program] [--seats N] [--rate R | --in-flight K] [--duration S]
//           [--orders M] [--link new|same] [--max-workers K] [--feedback-port P] [--probes N]
//           [--log-dir DIR]

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "PeakSampler.h"
#include "SeatFleet.h"
#include "ServerProcess.h"

namespace {

using namespace zn::bench;
using namespace std::chrono_literals;

struct Options {
    bool program = false;
    std::size_t seats = 500;
    OrderPace pace{100, 0};
    bool sameLink = false;
    double durationSeconds = 10;
    std::size_t orders = 0;
    std::size_t maxWorkers = 0;  // 0: the console's own cap
    std::uint16_t feedbackPort = 18004;
    std::size_t probes = 1000;
    int reminderMinutes = -1;  // -1: the console's default
    std::string logFolder;
};

constexpr const char* kUsage =
    "usage: zn_load [--server harness|program] [--seats N] [--rate R | --in-flight K]\n"
    "               [--duration S] [--orders M] [--link new|same] [--max-workers K]\n"
    "               [--feedback-port P] [--probes N] [--log-dir DIR] [--reminder-minutes M]\n"
    "  --server harness   the console's request service in a process of its own (default)\n"
    "  --server program   the real console program, offscreen, logged in to a local web host\n"
    "  --seats N          seats per server, each from its own address (1..2000, 500):\n"
    "                     127.1.x.y for the console, 127.3.x.y for the baseline\n"
    "  --rate R           orders per second over all seats (100)\n"
    "  --in-flight K      instead of a rate: K orders always unanswered (a closed loop)\n"
    "  --duration S       seconds of orders per server at most (10); 0 holds the seats idle\n"
    "  --orders M         stop after M orders per server (0: no bound)\n"
    "  --link new         a seat closes its link once its page arrived and connects again\n"
    "                     for its next order, as our seat does (default)\n"
    "  --link same        a seat orders again on the link it has, as older seats do\n"
    "  --max-workers K    the harness's worker cap (its default: 4096)\n"
    "  --feedback-port P  the seats' page port, RemotePort (18004)\n"
    "  --probes N         discovery probes sent to the console's responder (1000)\n"
    "  --log-dir DIR      the real program's log folder (default: in the run's temporary folder)\n"
    "  --reminder-minutes M  the real program's ReminderMinutes (its default: 5); orders are\n"
    "                     never completed, so with 1 every order is reminded during a long run\n";

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    if (argc % 2 == 0) {
        std::fputs(kUsage, stderr);
        return std::nullopt;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const std::string_view text = argv[i + 1];
        double value = 0;
        if (name == "--server" && (text == "harness" || text == "program")) {
            options.program = text == "program";
            continue;
        }
        if (name == "--link" && (text == "new" || text == "same")) {
            options.sameLink = text == "same";
            continue;
        }
        if (name == "--log-dir") {
            options.logFolder = text;
            continue;
        }
        if (!ParseNumber(name, argv[i + 1], value)) {
            return std::nullopt;
        }
        if (name == "--seats" && value >= 1 && value <= 2000) {
            options.seats = static_cast<std::size_t>(value);
        } else if (name == "--rate" && value > 0) {
            options.pace = {value, 0};
        } else if (name == "--in-flight" && value >= 1) {
            options.pace = {0, static_cast<std::size_t>(value)};
        } else if (name == "--duration") {
            options.durationSeconds = value;
        } else if (name == "--orders") {
            options.orders = static_cast<std::size_t>(value);
        } else if (name == "--max-workers" && value >= 1) {
            options.maxWorkers = static_cast<std::size_t>(value);
        } else if (name == "--feedback-port" && value >= 1 && value <= 65535) {
            options.feedbackPort = static_cast<std::uint16_t>(value);
        } else if (name == "--probes") {
            options.probes = static_cast<std::size_t>(value);
        } else if (name == "--reminder-minutes" && value >= 0 && value <= 1440) {
            options.reminderMinutes = static_cast<int>(value);
        } else {
            std::fprintf(stderr, "bad option %s %s\n%s", argv[i], argv[i + 1], kUsage);
            return std::nullopt;
        }
    }
    return options;
}

struct TargetReport {
    const char* name = "";
    ConnectOutcome connect;
    OrderOutcome orders;
    LatencySummary latency;
    ProcessFigures empty;  // listening, no seat
    ProcessFigures idle;   // every seat connected and idle
    ProcessFigures peak;   // highest seen while ordering
    std::optional<LatencySummary> discovery;
    std::string exitLine;
};

// Round trips of unicast probes to the responder on loopback; lost probes are left out.
LatencySummary MeasureDiscovery(std::uint16_t port, std::size_t probes, std::size_t& lost) {
    std::vector<double> samples;
    const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in responder{};
    responder.sin_family = AF_INET;
    responder.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    responder.sin_port = htons(port);
    const unsigned char bytes[4] = {0x61, 0x71, 0x74, 0x39};
    lost = 0;
    if (probe < 0 || connect(probe, reinterpret_cast<sockaddr*>(&responder), sizeof responder)) {
        lost = probes;
        return {};
    }
    for (std::size_t i = 0; i < probes; ++i) {
        const auto sent = std::chrono::steady_clock::now();
        unsigned char answer[16];
        pollfd readable{probe, POLLIN, 0};
        if (send(probe, bytes, sizeof bytes, 0) != sizeof bytes || poll(&readable, 1, 1000) != 1 ||
            recv(probe, answer, sizeof answer, 0) != sizeof bytes) {
            ++lost;
            continue;
        }
        samples.push_back(Milliseconds(std::chrono::steady_clock::now() - sent));
    }
    close(probe);
    return Summarise(std::move(samples));
}

// A server under measurement with its own seats.
struct Target {
    TargetReport report;
    std::vector<std::string> command;
    std::filesystem::path errors;  // the server's standard error
    std::unique_ptr<SeatFleet> fleet;
    ServerProcess server;
};

bool StartAndConnect(Target& target, const Options& options) {
    auto& report = target.report;
    // The real program starts a browser and logs in first.
    if (!target.fleet->Open() || !target.server.Start(target.command, target.errors, 120s)) {
        return false;
    }
    std::this_thread::sleep_for(200ms);
    report.empty = ReadProcessFigures(target.server.MeasuredPid()).value_or(ProcessFigures{});
    std::fprintf(stderr, "%s: connecting %zu seats\n", report.name, options.seats);
    report.connect = target.fleet->ConnectAll(target.server.Port(), 60s);
    return true;
}

void Append(OrderOutcome& total, OrderOutcome slice) {
    total.sent += slice.sent;
    total.skipped += slice.skipped;
    total.lost += slice.lost;
    total.dropped += slice.dropped;
    total.elapsedMs += slice.elapsedMs;
    total.latenciesMs.insert(total.latenciesMs.end(), slice.latenciesMs.begin(),
                             slice.latenciesMs.end());
}

// Both servers run side by side, each with its own seats, and take the orders in alternating
// slices, so that a burst of load from elsewhere on the machine falls on both alike. Each orders
// for the duration in all, or until its bound of orders was placed.
void PlaceOrders(std::vector<Target>& targets, const Options& options) {
    constexpr double kSliceSeconds = 2;
    const auto slices =
        static_cast<std::size_t>(std::max(1.0, std::ceil(options.durationSeconds / kSliceSeconds)));
    const auto slice = std::chrono::milliseconds(
        static_cast<std::int64_t>(options.durationSeconds * 1000 / static_cast<double>(slices)));
    std::fprintf(stderr, "ordering in at most %zu slices per server\n", slices);
    for (std::size_t i = 0; i < slices; ++i) {
        for (Target& target : targets) {
            auto& report = target.report;
            const std::size_t placed = report.orders.sent + report.orders.skipped;
            if (options.orders > 0 && placed >= options.orders) {
                continue;
            }
            const std::size_t bound = options.orders > 0 ? options.orders - placed : 0;
            Append(report.orders, target.fleet->PlaceOrders(options.pace, slice, bound, 10s));
        }
    }
}

std::vector<TargetReport> Measure(std::vector<Target>& targets, const Options& options) {
    for (Target& target : targets) {
        if (!StartAndConnect(target, options)) {
            return {};
        }
    }
    std::this_thread::sleep_for(1s);
    for (Target& target : targets) {
        target.report.idle =
            ReadProcessFigures(target.server.MeasuredPid()).value_or(ProcessFigures{});
        target.report.peak = target.report.idle;
    }
    Target& console = targets.front();
    std::size_t lost = 0;
    console.report.discovery = MeasureDiscovery(console.server.SecondPort(), options.probes, lost);
    if (lost > 0) {
        std::fprintf(stderr, "%zu discovery probes unanswered\n", lost);
    }
    if (options.durationSeconds > 0) {
        std::vector<std::unique_ptr<PeakSampler>> samplers;
        for (Target& target : targets) {
            samplers.push_back(
                std::make_unique<PeakSampler>(target.server.MeasuredPid(), target.report.idle));
        }
        PlaceOrders(targets, options);
        for (std::size_t i = 0; i < targets.size(); ++i) {
            targets[i].report.peak = samplers[i]->Peak();
        }
    }
    std::vector<TargetReport> reports;
    for (Target& target : targets) {
        target.fleet->Disconnect();
        auto& report = target.report;
        report.latency = Summarise(report.orders.latenciesMs);
        report.exitLine = target.server.Stop();
        if (!report.exitLine.empty() && report.exitLine.back() == '\n') {
            report.exitLine.pop_back();
        }
        reports.push_back(std::move(report));
    }
    return reports;
}

double MiB(std::uint64_t kib) {
    return static_cast<double>(kib) / 1024.0;
}

void PrintReport(const Options& options, const std::vector<TargetReport>& reports) {
    std::printf("%s, seats %zu, ", options.program ? "real console program" : "console harness",
                options.seats);
    if (options.pace.inFlight > 0) {
        std::printf("closed loop: %zu orders in flight", options.pace.inFlight);
    } else {
        std::printf("rate %.0f orders/s", options.pace.rate);
    }
    std::printf(", duration %.0f s at most, orders %zu at most (0: no bound), %s link, %ld cores\n",
                options.durationSeconds, options.orders, options.sameLink ? "same" : "a new",
                sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("\n%-9s %7s %7s %6s", "server", "greeted", "refused", "failed");
    if (options.durationSeconds > 0) {
        std::printf(" | %7s %5s %5s %7s %9s | %7s %7s %7s", "orders", "lost", "skip", "dropped",
                    "orders/s", "p50 ms", "p99 ms", "max ms");
    }
    std::printf("\n");
    for (const auto& r : reports) {
        std::printf("%-9s %7zu %7zu %6zu", r.name, r.connect.greeted, r.connect.refused,
                    r.connect.failed);
        if (options.durationSeconds > 0) {
            const double seconds = r.orders.elapsedMs / 1000.0;
            std::printf(" | %7zu %5zu %5zu %7zu %9.1f | %7.3f %7.3f %7.3f", r.latency.count,
                        r.orders.lost, r.orders.skipped, r.orders.dropped,
                        seconds > 0 ? static_cast<double>(r.latency.count) / seconds : 0.0,
                        r.latency.p50Ms, r.latency.p99Ms, r.latency.maxMs);
        }
        std::printf("\n");
    }
    std::printf("\n%-9s %10s %10s %12s %10s | %8s %8s %8s\n", "server", "RSS empty", "RSS idle",
                "KiB per seat", "RSS peak", "threads", "idle", "peak");
    for (const auto& r : reports) {
        const double perSeat = r.connect.greeted > 0 ? (static_cast<double>(r.idle.residentKiB) -
                                                        static_cast<double>(r.empty.residentKiB)) /
                                                           static_cast<double>(r.connect.greeted)
                                                     : 0.0;
        std::printf("%-9s %8.1f M %8.1f M %12.1f %8.1f M | %8lu %8lu %8lu\n", r.name,
                    MiB(r.empty.residentKiB), MiB(r.idle.residentKiB), perSeat,
                    MiB(r.peak.residentKiB), static_cast<unsigned long>(r.empty.threads),
                    static_cast<unsigned long>(r.idle.threads),
                    static_cast<unsigned long>(r.peak.threads));
    }
    for (const auto& r : reports) {
        if (r.connect.refused > 0) {
            std::printf("\n%s refused %zu seats, the slowest after %.3f ms\n", r.name,
                        r.connect.refused, r.connect.slowestRefusalMs);
        }
        if (r.discovery) {
            std::printf(
                "\n%s discovery answer (%zu probes): p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
                r.name, r.discovery->count, r.discovery->p50Ms, r.discovery->p99Ms,
                r.discovery->maxMs);
        }
        if (!r.exitLine.empty()) {
            std::printf("%s at exit: %s\n", r.name, r.exitLine.c_str());
        }
    }
    if (reports.size() == 2 && reports[1].latency.count > 0 && reports[0].latency.count > 0) {
        const auto& c = reports[0].latency;
        const auto& b = reports[1].latency;
        std::printf("\nconsole / baseline: p50 %.2f, p99 %.2f, max %.2f\n", c.p50Ms / b.p50Ms,
                    c.p99Ms / b.p99Ms, c.maxMs / b.maxMs);
    }
}

std::vector<std::string> ConsoleCommand(const Options& options,
                                        const std::filesystem::path& programs,
                                        const std::filesystem::path& folder,
                                        const std::filesystem::path& logFolder) {
    std::vector<std::string> command{
        (programs / (options.program ? "zn_console_program" : "zn_console_harness")).string(),
        "--folder",
        folder.string(),
        "--seats",
        std::to_string(options.seats),
        "--feedback-port",
        std::to_string(options.feedbackPort)};
    if (options.program) {
        command.insert(command.end(), {"--log-dir", logFolder.string()});
    }
    if (options.program && options.reminderMinutes >= 0) {
        command.insert(command.end(),
                       {"--reminder-minutes", std::to_string(options.reminderMinutes)});
    }
    if (!options.program && options.maxWorkers > 0) {
        command.insert(command.end(), {"--max-workers", std::to_string(options.maxWorkers)});
    }
    return command;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) {
        return 2;
    }
    const auto limit = RaiseFileLimit();
    if (limit < options->seats * 6 + 64) {
        std::fprintf(stderr, "only %lu descriptors allowed\n", static_cast<unsigned long>(limit));
        return 1;
    }
    const auto programs = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    char folderTemplate[] = "/tmp/zn-load-XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        return 1;
    }
    const std::filesystem::path folder = folderTemplate;
    const std::filesystem::path logFolder =
        options->logFolder.empty() ? folder / "log" : std::filesystem::path(options->logFolder);
    std::error_code error;
    std::filesystem::create_directories(logFolder, error);
    // The harness logs there too, as the console does, never into a folder of this machine's.
    setenv("ZENTROVA_LOG_DIR", logFolder.c_str(), 1);

    std::vector<Target> targets(2);
    targets[0].report.name = "console";
    targets[0].command = ConsoleCommand(*options, programs, folder, logFolder);
    targets[1].report.name = "baseline";
    // The page is the one the console's folder holds; the console starts first.
    const auto page = options->program ? folder / "console" / "RequestReceived.html"
                                       : folder / "RequestReceived.html";
    targets[1].command = {(programs / "zn_baseline_server").string(), "--page", page.string(),
                          "--feedback-port", std::to_string(options->feedbackPort)};
    for (std::size_t i = 0; i < targets.size(); ++i) {
        // The console's seat list names the seats of block 1; the baseline's seats are others.
        const auto block = static_cast<std::uint8_t>(i == 0 ? 1 : 3);
        targets[i].fleet = std::make_unique<SeatFleet>(
            FleetOptions{options->seats, options->feedbackPort, block, 64, options->sameLink});
        targets[i].errors = logFolder / (std::string(targets[i].report.name) + "-stderr.txt");
    }
    const std::vector<TargetReport> reports = Measure(targets, *options);
    std::filesystem::remove_all(folder, error);
    if (reports.empty()) {
        return 1;
    }
    PrintReport(*options, reports);
    return 0;
}
