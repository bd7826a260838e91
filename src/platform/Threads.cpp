#include "platform/Threads.h"

#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <optional>

namespace zn {
namespace {

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

}  // namespace zn
