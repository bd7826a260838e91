#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "PartnerSounds.h"
#include "WebHost.h"
#include "config/AlertSound.h"

namespace zn::config::test {

// A partner site at this loopback port, with waits short enough for a test and long enough for a
// loaded machine.
inline PartnerSite SiteAt(int port) {
    return {"http://127.0.0.1:" + std::to_string(port),
            {std::chrono::seconds(5), std::chrono::seconds(2)}};
}

// The local web host as the partner site, on a free loopback port, from the source's pages.
class PartnerHost {
public:
    PartnerHost() : m_host(Config()), m_port(m_host.Start(0)) {}

    bool Started() const { return m_port.has_value(); }
    PartnerSite Site() const { return SiteAt(m_port.value_or(0)); }
    void Stop() { m_host.Stop(); }

private:
    static webhost::WebHostConfig Config() {
        webhost::WebHostConfig config;
        config.pagesFolder = ZN_WEBHOST_PAGES_DIR;
        config.logRequests = false;
        return config;
    }

    webhost::WebHost m_host;
    std::optional<int> m_port;
};

// A partner site with a sound page of the three elements whose "SoundPath" is "9tqa/held.wav": that
// sound comes only once the test lets it go (or after a bound, so no test hangs on it).
class HoldingPartner {
public:
    static constexpr auto kHoldBound = std::chrono::seconds(10);

    HoldingPartner() {
        m_server.Get("/9tqa/sounddownload.aspx", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(
                "<html><body><input id=\"SoundPath\" value=\"9tqa/held.wav\">"
                "<button id=\"ButtonSetSound\">set</button>"
                "<button id=\"ButtonCancel\">cancel</button></body></html>",
                "text/html");
        });
        m_server.Get("/9tqa/held.wav", [this](const httplib::Request&, httplib::Response& r) {
            std::unique_lock lock(m_mutex);
            ++m_asked;
            m_released.wait_for(lock, kHoldBound, [this] { return m_release; });
            r.set_content(*webhost::PartnerSoundWav("dingdong.wav"), "audio/wav");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!m_server.is_running() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
    }
    ~HoldingPartner() {
        Release();
        m_server.stop();
        m_thread.join();
    }
    HoldingPartner(const HoldingPartner&) = delete;
    HoldingPartner& operator=(const HoldingPartner&) = delete;

    // Waits long enough for the sound to be held instead of given up.
    PartnerSite Site() const {
        return {"http://127.0.0.1:" + std::to_string(m_port),
                {std::chrono::seconds(5), std::chrono::seconds(30)}};
    }
    int Asked() const {
        const std::lock_guard lock(m_mutex);
        return m_asked;
    }
    void Release() {
        const std::lock_guard lock(m_mutex);
        m_release = true;
        m_released.notify_all();
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    int m_asked = 0;
    bool m_release = false;
};

}  // namespace zn::config::test
