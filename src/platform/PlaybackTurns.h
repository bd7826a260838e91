#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

namespace zn {

// Whose sound plays: the latest call's. A new alert cuts off the one playing, as the platform's
// synchronous play does when another sound starts; the one cut off notices between two chunks
// and lets the device go, so callers never queue behind a whole sound.
class PlaybackTurns {
public:
    class Turn {
    public:
        Turn(std::unique_lock<std::mutex> device, const std::atomic<std::uint64_t>& latest,
             std::uint64_t mine)
            : m_device(std::move(device)), m_latest(latest), m_mine(mine) {}
        bool IsCutOff() const { return m_latest.load() != m_mine; }

    private:
        std::unique_lock<std::mutex> m_device;
        const std::atomic<std::uint64_t>& m_latest;
        std::uint64_t m_mine;
    };

    // Nullopt when a newer call came while this one waited for the device.
    std::optional<Turn> Begin() {
        const std::uint64_t mine = ++m_latest;
        std::unique_lock device(m_device);
        if (m_latest.load() != mine) {
            return std::nullopt;
        }
        return Turn(std::move(device), m_latest, mine);
    }

private:
    std::mutex m_device;
    std::atomic<std::uint64_t> m_latest{0};
};

}  // namespace zn
