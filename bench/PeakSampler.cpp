#include "PeakSampler.h"

#include <algorithm>

namespace zn::bench {

PeakSampler::PeakSampler(pid_t pid, ProcessFigures start, std::chrono::milliseconds period)
    : m_pid(pid), m_period(period), m_peak(start), m_thread([this] { Sample(); }) {}

PeakSampler::~PeakSampler() {
    m_stop = true;
    m_thread.join();
}

ProcessFigures PeakSampler::Peak() const {
    const std::lock_guard lock(m_mutex);
    return m_peak;
}

void PeakSampler::Sample() {
    while (!m_stop) {
        if (const auto now = ReadProcessFigures(m_pid)) {
            const std::lock_guard lock(m_mutex);
            m_peak.residentKiB = std::max(m_peak.residentKiB, now->residentKiB);
            m_peak.threads = std::max(m_peak.threads, now->threads);
        }
        std::this_thread::sleep_for(m_period);
    }
}

}  // namespace zn::bench
