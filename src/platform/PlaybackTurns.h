#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

namespace zn {

// Whose sound plays: the latest call's. A new alert cuts off the one playing, as the platform's
// synchronous play does when another sound starts; the one cut off notices between two chunks
// and lets the device go. A call overtaken while it waits gives up at once, so a burst of
// alerts never queues threads behind the device.
class PlaybackTurns {
public:
    class Turn {
    public:
        Turn(PlaybackTurns& turns, std::uint64_t mine) : m_turns(&turns), m_mine(mine) {}
        Turn(Turn&& other) noexcept
            : m_turns(std::exchange(other.m_turns, nullptr)), m_mine(other.m_mine) {}
        Turn& operator=(Turn&&) = delete;
        ~Turn() {
            if (m_turns != nullptr) {
                m_turns->End();
            }
        }
        bool IsCutOff() const { return m_turns->m_latest.load() != m_mine; }

    private:
        PlaybackTurns* m_turns;
        std::uint64_t m_mine;
    };

    // Nullopt when a newer call came before the device was free.
    std::optional<Turn> Begin() {
        std::unique_lock lock(m_mutex);
        const std::uint64_t mine = ++m_latest;
        m_changed.notify_all();  // waiters overtaken now give up
        m_changed.wait(lock, [&] { return !m_playing || m_latest.load() != mine; });
        if (m_latest.load() != mine) {
            return std::nullopt;
        }
        m_playing = true;
        return std::optional<Turn>(std::in_place, *this, mine);
    }

private:
    void End() {
        {
            const std::lock_guard lock(m_mutex);
            m_playing = false;
        }
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_playing = false;
    std::atomic<std::uint64_t> m_latest{0};
};

}  // namespace zn
