#include "console/SenderGroup.h"

#include <utility>

#include "platform/Threads.h"

namespace zn::console {

namespace {

// A sender keeps a page, a socket and a few texts; deep calls are not made on it.
constexpr std::size_t kSenderStackBytes = 256 * 1024;

}  // namespace

SenderGroup::~SenderGroup() {
    WaitUntilIdle();
}

bool SenderGroup::Start(std::function<void()> sender) {
    {
        std::lock_guard lock(m_mutex);
        ++m_running;
    }
    const bool started = StartDetachedThread(
        [this, sender = std::move(sender)] {
            sender();
            Finish();
        },
        kSenderStackBytes);
    if (!started) {
        Finish();
    }
    return started;
}

std::size_t SenderGroup::Running() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

void SenderGroup::WaitUntilIdle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_running == 0; });
}

void SenderGroup::Finish() {
    // Notified under the lock: the group may be destroyed as soon as the count reaches zero.
    std::lock_guard lock(m_mutex);
    --m_running;
    m_idle.notify_all();
}

}  // namespace zn::console
