#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace zn::console {

// Items that worker threads hand to the UI thread without ever waiting for it: each one is taken
// once, in the order handed over; at a full queue a new item is folded into the newest queued one.
// Once closed (the event loop has ended) nothing is queued.
template <typename Item>
class HandOffQueue {
public:
    enum class Result { Queued, Closed };

    // `schedule` asks the UI thread to take the queued items later (it must not wait for that);
    // it is called once per batch, whenever an item arrives at an empty queue.
    HandOffQueue(std::function<void()> schedule, std::size_t capacity)
        : m_schedule(std::move(schedule)), m_capacity(capacity) {}

    // At a full queue the item is folded into the newest queued one (`fold(newest, item)`, under
    // the queue's lock), so no worker is held by a busy UI thread.
    template <typename Fold>
    Result PushOrFold(Item&& item, Fold fold) {
        bool schedule = false;
        {
            const std::lock_guard lock(m_mutex);
            if (m_closed) {
                return Result::Closed;
            }
            if (m_items.size() < m_capacity || m_items.empty()) {
                m_items.push_back(std::move(item));
            } else {
                fold(m_items.back(), std::move(item));
            }
            schedule = !std::exchange(m_scheduled, true);
        }
        if (schedule) {
            m_schedule();
        }
        return Result::Queued;
    }

    // UI side: the next item, nullopt when none is left (the next item schedules again).
    std::optional<Item> Take() {
        std::optional<Item> item;
        {
            const std::lock_guard lock(m_mutex);
            if (m_items.empty()) {
                m_scheduled = false;
                return std::nullopt;
            }
            item.emplace(std::move(m_items.front()));
            m_items.pop_front();
        }
        return item;
    }

    void Close() {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
    }

private:
    const std::function<void()> m_schedule;
    const std::size_t m_capacity;
    std::mutex m_mutex;
    std::deque<Item> m_items;
    bool m_scheduled = false;
    bool m_closed = false;
};

}  // namespace zn::console
