#pragma once

#include <atomic>

namespace zn::detail {

// A socket descriptor that another thread may close while a call is blocked on it. Close shuts
// the socket down at once, which wakes the call, but the descriptor itself is closed only when
// the last call using it has returned: its number cannot be reused under a call still in flight.
class SharedHandle {
public:
    explicit SharedHandle(int empty) : m_empty(empty), m_handle(empty) {}
    SharedHandle(const SharedHandle&) = delete;
    SharedHandle& operator=(const SharedHandle&) = delete;

    // Keeps the descriptor open for one call; Get() is the empty value when there is none.
    class Use {
    public:
        explicit Use(const SharedHandle& owner);
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        int Get() const { return m_handle; }
        bool Valid() const { return m_handle != m_owner.m_empty; }

    private:
        const SharedHandle& m_owner;
        int m_handle;
    };

    int Load() const { return m_handle.load(); }
    // Only by the owning thread, on an empty handle.
    void Store(int handle) { m_handle.store(handle); }
    // close()'s result; 0 when a call in flight will close it; -1 when there was no socket.
    int Close();
    // The same, but the peer sees a reset instead of an end: nothing more is sent, unsent and
    // unread bytes are dropped.
    int Abort();

private:
    int CloseWith(int how);
    int ClosePending() const;

    const int m_empty;
    std::atomic<int> m_handle;
    mutable std::atomic<int> m_users{0};
    mutable std::atomic<int> m_pendingClose{-1};
};

}  // namespace zn::detail
