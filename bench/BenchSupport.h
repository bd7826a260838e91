#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zn::bench {

// The seats' request and feedback sockets plus the console side need far more than the usual
// 1024 descriptors. Returns the soft limit now in force.
std::uint64_t RaiseFileLimit();

// Seat `index` plays from its own loopback address, 127.<block>.<index / 250>.<index % 250 + 1>,
// so the console's per-seat cap and its feedback pushes see distinct seats.
std::string SeatAddress(std::uint8_t block, std::size_t index);

struct ProcessFigures {
    std::uint64_t residentKiB = 0;
    std::uint64_t threads = 0;
};
// VmRSS and Threads from /proc/<pid>/status; nullopt when the process is gone.
std::optional<ProcessFigures> ReadProcessFigures(pid_t pid);

// Blocks SIGINT and SIGTERM in every thread started afterwards and waits for one of them.
void BlockStopSignals();
void WaitForStopSignal();

// Milliseconds as a double, for reports.
double Milliseconds(std::chrono::steady_clock::duration duration);

// Order statistics of a sample; all zero for an empty one.
struct LatencySummary {
    std::size_t count = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    double maxMs = 0;
};
LatencySummary Summarise(std::vector<double> samplesMs);

// Reads a whole option value; false (after a message on stderr) when it is not a number.
bool ParseNumber(std::string_view option, const char* text, double& value);

}  // namespace zn::bench
