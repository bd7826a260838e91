#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace zn::client {

// The thread on which the seat's link to the counter works: jobs run one at a time, in the order
// they were posted, so that a page action never runs while another one still connects or sends.
// The user-interface thread stays free meanwhile.
class LinkWorker {
public:
    LinkWorker();
    // Stops without a time limit.
    ~LinkWorker();
    LinkWorker(const LinkWorker&) = delete;
    LinkWorker& operator=(const LinkWorker&) = delete;

    // Queues a job; ignored once stopping.
    void Post(std::function<void()> job);

    // Drops the jobs that have not started and waits up to `limit` for the running one. True when
    // the thread has ended; false when a job still runs (it may still use what it refers to).
    bool Stop(std::chrono::milliseconds limit);

    // True on the worker's own thread.
    bool IsWorkerThread() const;

private:
    void Run();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    bool m_ended = false;
    std::thread m_thread;
};

}  // namespace zn::client
