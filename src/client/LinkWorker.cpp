#include "client/LinkWorker.h"

#include <utility>

namespace zn::client {

LinkWorker::LinkWorker() : m_thread([this] { Run(); }) {}

LinkWorker::~LinkWorker() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_changed.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void LinkWorker::Post(std::function<void()> job) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping) {
            return;
        }
        m_jobs.push_back(std::move(job));
    }
    m_changed.notify_all();
}

bool LinkWorker::Stop(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    m_stopping = true;
    m_jobs.clear();
    m_changed.notify_all();
    if (!m_changed.wait_for(lock, limit, [this] { return m_ended; })) {
        return false;
    }
    lock.unlock();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return true;
}

bool LinkWorker::IsWorkerThread() const {
    return std::this_thread::get_id() == m_thread.get_id();
}

void LinkWorker::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping) {
            break;
        }
        auto job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
    m_ended = true;
    m_changed.notify_all();
}

}  // namespace zn::client
