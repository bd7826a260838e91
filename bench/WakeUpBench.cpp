// How long a sleeping thread that is woken waits for a processor while every core is busy, as a
// request worker does while the browser lays out the previous order's page: with the scheduler's
// default slice (the baseline) and after PreferPromptWakeUps, in turns in one process.
//
//   zn_wakeup_bench [--wakes N] [--busy K]   defaults 400 wakes, 2 busy threads per core

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "platform/Threads.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Percentiles {
    double p50 = 0;
    double p99 = 0;
    double max = 0;
};

// One thread sleeps on a pipe; the main thread writes the time every 10 ms; the woken thread
// records how late it ran, then works 0.2 ms as a worker pushing a page would.
Percentiles MeasureWakeUps(int wakes, bool prompt) {
    int ends[2];
    if (pipe(ends) != 0) {
        return {};
    }
    std::vector<double> lateMs;
    std::thread sleeper([&] {
        if (prompt) {
            zn::PreferPromptWakeUps();
        }
        Clock::time_point sent;
        while (read(ends[0], &sent, sizeof sent) == static_cast<ssize_t>(sizeof sent)) {
            lateMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
            for (const auto until = Clock::now() + std::chrono::microseconds(200);
                 Clock::now() < until;) {
            }
        }
    });
    for (int i = 0; i < wakes; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const Clock::time_point now = Clock::now();
        if (write(ends[1], &now, sizeof now) != static_cast<ssize_t>(sizeof now)) {
            break;
        }
    }
    close(ends[1]);
    sleeper.join();
    close(ends[0]);
    std::sort(lateMs.begin(), lateMs.end());
    if (lateMs.empty()) {
        return {};
    }
    const auto at = [&](double share) {
        return lateMs[std::min(lateMs.size() - 1, static_cast<std::size_t>(share * lateMs.size()))];
    };
    return {at(0.5), at(0.99), lateMs.back()};
}

}  // namespace

int main(int argc, char** argv) {
    double wakes = 400;
    double busyPerCore = 2;
    for (int i = 1; i < argc; i += 2) {
        const std::string_view name = argv[i];
        double* value = name == "--wakes" ? &wakes : name == "--busy" ? &busyPerCore : nullptr;
        if (value == nullptr || i + 1 >= argc ||
            !zn::bench::ParseNumber(name, argv[i + 1], *value) || wakes < 1 || busyPerCore < 0) {
            std::fprintf(stderr, "usage: zn_wakeup_bench [--wakes N] [--busy K]\n");
            return 2;
        }
    }
    std::atomic<bool> stop = false;
    std::vector<std::thread> busy;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores * static_cast<unsigned>(busyPerCore); ++i) {
        busy.emplace_back([&stop] {
            while (!stop.load(std::memory_order_relaxed)) {
            }
        });
    }
    std::printf("%u cores, %zu busy threads, %d wakes per turn\n\n", cores, busy.size(),
                static_cast<int>(wakes));
    std::printf("turn               p50 ms    p99 ms    max ms\n");
    Percentiles totals[2];
    for (int turn = 0; turn < 4; ++turn) {
        const bool prompt = turn % 2 == 1;
        const Percentiles p = MeasureWakeUps(static_cast<int>(wakes), prompt);
        std::printf("%-16s %8.3f  %8.3f  %8.3f\n", prompt ? "prompt wake-ups" : "default slice",
                    p.p50, p.p99, p.max);
        totals[prompt ? 1 : 0].p99 += p.p99 / 2;
        totals[prompt ? 1 : 0].p50 += p.p50 / 2;
    }
    stop = true;
    for (std::thread& thread : busy) {
        thread.join();
    }
    std::printf("\nprompt / default (mean of two turns): p50 %.2f, p99 %.2f\n",
                totals[1].p50 / totals[0].p50, totals[1].p99 / totals[0].p99);
    return 0;
}
