#include "BenchSupport.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zn::bench {

std::uint64_t RaiseFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
    return limit.rlim_cur;
}

std::string SeatAddress(std::uint8_t block, std::size_t index) {
    return "127." + std::to_string(block) + "." + std::to_string(index / 250) + "." +
           std::to_string(index % 250 + 1);
}

std::optional<ProcessFigures> ReadProcessFigures(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    if (!status) {
        return std::nullopt;
    }
    ProcessFigures figures;
    std::string line;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        if (name == "VmRSS:") {
            fields >> figures.residentKiB;
        } else if (name == "Threads:") {
            fields >> figures.threads;
        }
    }
    return figures;
}

void BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForStopSignal() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    int received = 0;
    sigwait(&signals, &received);
}

double Milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

LatencySummary Summarise(std::vector<double> samplesMs) {
    LatencySummary summary;
    summary.count = samplesMs.size();
    if (samplesMs.empty()) {
        return summary;
    }
    std::sort(samplesMs.begin(), samplesMs.end());
    // Nearest rank: the smallest sample with at least p percent of the samples at or below it.
    const auto rank = [&](double p) {
        const auto position =
            static_cast<std::size_t>(std::ceil(p * static_cast<double>(samplesMs.size())));
        return samplesMs[std::clamp<std::size_t>(position, 1, samplesMs.size()) - 1];
    };
    summary.p50Ms = rank(0.50);
    summary.p99Ms = rank(0.99);
    summary.maxMs = samplesMs.back();
    return summary;
}

bool ParseNumber(std::string_view option, const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value) || value < 0) {
        std::fprintf(stderr, "%.*s needs a number, not '%s'\n", static_cast<int>(option.size()),
                     option.data(), text);
        return false;
    }
    return true;
}

}  // namespace zn::bench
