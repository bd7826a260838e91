#include "platform/Threads.h"

#include <limits.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/Log.h"

namespace zn {
namespace {

// The kernel's first layout of sched_attr; the C library declares none.
struct SchedulingAttributes {
    std::uint32_t size;
    std::uint32_t policy;
    std::uint64_t flags;
    std::int32_t nice;
    std::uint32_t priority;
    std::uint64_t runtimeNs;  // for a normal thread: its time slice
    std::uint64_t deadlineNs;
    std::uint64_t periodNs;
};

// The shortest slice the kernel takes.
constexpr std::chrono::nanoseconds kPromptSlice = std::chrono::microseconds(100);

void* RunBody(void* argument) {
    // Owned here, so the function and what it captured are destroyed on this thread.
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return nullptr;
}

// The smallest usable stack of at least the requested size; nullopt when that cannot exist.
std::optional<std::size_t> UsableStackSize(std::size_t requested) {
    const long minimum = PTHREAD_STACK_MIN;
    const long page = sysconf(_SC_PAGESIZE);
    const std::size_t pageSize = page > 0 ? static_cast<std::size_t>(page) : 4096;
    std::size_t size = requested;
    if (minimum > 0 && size < static_cast<std::size_t>(minimum)) {
        size = static_cast<std::size_t>(minimum);
    }
    if (size > SIZE_MAX - (pageSize - 1)) {
        return std::nullopt;
    }
    return (size + pageSize - 1) / pageSize * pageSize;
}

class ThreadAttributes {
public:
    ThreadAttributes() : m_valid(pthread_attr_init(&m_attr) == 0) {}
    ~ThreadAttributes() {
        if (m_valid) {
            pthread_attr_destroy(&m_attr);
        }
    }
    ThreadAttributes(const ThreadAttributes&) = delete;
    ThreadAttributes& operator=(const ThreadAttributes&) = delete;

    bool Valid() const { return m_valid; }
    pthread_attr_t* Get() { return &m_attr; }

private:
    pthread_attr_t m_attr{};
    bool m_valid;
};

}  // namespace

bool StartDetachedThread(std::function<void()> body, std::size_t stackBytes) {
    ThreadAttributes attributes;
    if (!attributes.Valid() ||
        pthread_attr_setdetachstate(attributes.Get(), PTHREAD_CREATE_DETACHED) != 0) {
        return false;
    }
    if (stackBytes != 0) {
        const std::optional<std::size_t> stackSize = UsableStackSize(stackBytes);
        if (!stackSize || pthread_attr_setstacksize(attributes.Get(), *stackSize) != 0) {
            return false;
        }
    }
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    pthread_t thread;
    if (pthread_create(&thread, attributes.Get(), RunBody, owned.get()) != 0) {
        return false;
    }
    owned.release();
    return true;
}

void PreferPromptWakeUps() {
    if (sched_getscheduler(0) != SCHED_OTHER) {
        return;  // an administrator chose another policy for the program
    }
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);  // kept: lowering it is not ours to do
    if (nice == -1 && errno != 0) {
        return;
    }
    SchedulingAttributes attributes{};
    attributes.size = sizeof attributes;
    attributes.policy = SCHED_OTHER;
    attributes.nice = nice;
    attributes.runtimeNs = static_cast<std::uint64_t>(kPromptSlice.count());
    if (syscall(SYS_sched_setattr, 0, &attributes, 0) != 0) {
        static std::atomic<bool> told{false};
        if (!told.exchange(true)) {
            log::Info("short time slices are not available here: {}", std::strerror(errno));
        }
    }
}

}  // namespace zn
