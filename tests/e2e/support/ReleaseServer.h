#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "WebHost.h"

namespace zn::e2e {

// The local web host's update releases from a folder, behind a front on its own loopback port
// that records every request and can hold one file: its answer stops after the first half until
// ReleaseHeld (or until the server goes).
class ReleaseServer {
public:
    // At the loopback port, or any free one for 0.
    explicit ReleaseServer(const std::filesystem::path& folder, std::uint16_t port = 0);
    ~ReleaseServer();
    ReleaseServer(const ReleaseServer&) = delete;
    ReleaseServer& operator=(const ReleaseServer&) = delete;

    // 0 when the port could not be bound.
    int Port() const { return m_frontPort; }
    // "127.0.0.1:<port>", as an "UpdateServerAddress".
    std::string Address() const;

    // The path, as requested ("/Zentrova/.../files/x").
    void Hold(std::string path);
    void ReleaseHeld();
    // True once the held file has begun to go out.
    bool WaitForHeld(std::chrono::milliseconds limit);

    std::vector<std::string> Requests() const;

private:
    void Forward(const httplib::Request& request, httplib::Response& response);

    webhost::WebHost m_host;
    int m_hostPort = 0;
    httplib::Server m_front;
    int m_frontPort = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_requests;
    std::string m_held;
    bool m_heldStarted = false;
    bool m_released = false;
};

}  // namespace zn::e2e
