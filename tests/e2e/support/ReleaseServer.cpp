#include "ReleaseServer.h"

#include "WaitFor.h"

namespace zn::e2e {

ReleaseServer::ReleaseServer(const std::filesystem::path& folder, std::uint16_t port)
    : m_host(webhost::WebHostConfig{
          .pagesFolder = {}, .releasesFolder = folder, .logRequests = false}) {
    m_hostPort = m_host.Start(0).value_or(0);
    m_front.Get(".*", [this](const httplib::Request& q, httplib::Response& r) { Forward(q, r); });
    if (port == 0) {
        m_frontPort = m_front.bind_to_any_port("127.0.0.1");
    } else if (m_front.bind_to_port("127.0.0.1", port)) {
        m_frontPort = port;
    }
    m_thread = std::thread([this] { m_front.listen_after_bind(); });
    zn::test::WaitFor([this] { return m_front.is_running(); });
}

ReleaseServer::~ReleaseServer() {
    {
        const std::lock_guard lock(m_mutex);
        m_released = true;
    }
    m_changed.notify_all();
    m_front.stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_host.Stop();
}

std::string ReleaseServer::Address() const {
    return "127.0.0.1:" + std::to_string(m_frontPort);
}

void ReleaseServer::Hold(std::string path) {
    const std::lock_guard lock(m_mutex);
    m_held = std::move(path);
    m_heldStarted = false;
    m_released = false;
}

void ReleaseServer::ReleaseHeld() {
    {
        const std::lock_guard lock(m_mutex);
        m_released = true;
    }
    m_changed.notify_all();
}

bool ReleaseServer::WaitForHeld(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [this] { return m_heldStarted; });
}

std::vector<std::string> ReleaseServer::Requests() const {
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

void ReleaseServer::Forward(const httplib::Request& request, httplib::Response& response) {
    bool hold = false;
    {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back(request.path);
        hold = request.path == m_held;
    }
    httplib::Client host("127.0.0.1", m_hostPort);
    httplib::Headers headers;
    if (request.has_header("Authorization")) {
        headers.emplace("Authorization", request.get_header_value("Authorization"));
    }
    const auto answer = host.Get(request.path, headers);
    if (!answer) {
        response.status = 502;
        return;
    }
    response.status = answer->status;
    if (!hold || answer->status != 200) {
        response.set_content(answer->body, "application/octet-stream");
        return;
    }
    auto body = std::make_shared<std::string>(answer->body);
    response.set_content_provider(
        body->size(), "application/octet-stream",
        [this, body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            const std::size_t half = body->size() / 2;
            if (offset < half) {
                return sink.write(body->data(), half);
            }
            std::unique_lock lock(m_mutex);
            m_heldStarted = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_released; });
            lock.unlock();
            return sink.write(body->data() + offset, body->size() - offset);
        });
}

}  // namespace zn::e2e
