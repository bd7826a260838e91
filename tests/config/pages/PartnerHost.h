#pragma once

#include <chrono>
#include <optional>
#include <string>

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

}  // namespace zn::config::test
