#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "BenchSupport.h"

namespace zn::bench {

// Reads a process's resident memory and live threads every `period` on a thread of its own and
// keeps the highest of each, so that a burst between a caller's looks is not missed.
class PeakSampler {
public:
    PeakSampler(pid_t pid, ProcessFigures start,
                std::chrono::milliseconds period = std::chrono::milliseconds(10));
    ~PeakSampler();
    PeakSampler(const PeakSampler&) = delete;
    PeakSampler& operator=(const PeakSampler&) = delete;

    ProcessFigures Peak() const;

private:
    void Sample();

    pid_t m_pid;
    std::chrono::milliseconds m_period;
    mutable std::mutex m_mutex;
    ProcessFigures m_peak;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace zn::bench
