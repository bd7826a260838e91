#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

namespace zn::console {

// Detached sender threads that the owner outlives: destruction waits until every started sender
// has returned, so none of them reaches an object that is gone. Senders are bounded by the
// seat timeouts and by the UI hand-overs, which return at once after the event loop ended.
class SenderGroup {
public:
    SenderGroup() = default;
    ~SenderGroup();
    SenderGroup(const SenderGroup&) = delete;
    SenderGroup& operator=(const SenderGroup&) = delete;

    // False when no thread could be started; the sender is then not run.
    bool Start(std::function<void()> sender);
    std::size_t Running() const;
    void WaitUntilIdle();

private:
    void Finish();

    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    std::size_t m_running = 0;
};

}  // namespace zn::console
