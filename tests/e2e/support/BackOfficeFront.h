#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <httplib.h>

#include "WebHost.h"

namespace zn::e2e {

struct FrontOptions {
    std::uint16_t port = 0;      // on loopback; 0: any free one
    std::uint16_t hostPort = 0;  // a web host already serving on loopback; 0: one of its own
    std::filesystem::path releasesFolder{};  // the update releases too; none when empty
    bool logRequests = false;                // each request logged, as the web host logs it
};

// The back office as the console sees it: the local web host behind a recording front on its own
// loopback port. Every page gets a small script in its head that keeps asking the front for the
// next step meant for its path (a line of script), so a test can fill in and click in the page
// of the running console. "/test/iframe-login.jsp" is the login page with an iframe added.
class BackOfficeFront {
public:
    explicit BackOfficeFront(FrontOptions options = {});
    ~BackOfficeFront();

    // The front's port; 0 when it could not be bound.
    int Port() const { return m_frontPort; }
    // "http://127.0.0.1:<front port>" followed by the path (and query).
    std::string Address(std::string_view path) const;
    // The path and query of every page served (as the browser sent them), in order.
    std::vector<std::string> ServedPages() const;
    // The first page served whose path and query begin with `prefix`, as the web host rendered
    // it; empty when there was none.
    std::string PageBody(std::string_view prefix) const;
    // True once `count` pages whose path and query begin with `prefix` were served.
    bool WaitForPage(std::string_view prefix, std::chrono::milliseconds limit,
                     std::size_t count = 1) const;
    // The next page at this path that asks runs the script once.
    void Queue(std::string path, std::string script);
    // A shop order of one game card from the seat at 127.0.0.1; its serial, empty on failure.
    std::string CreateOrder(std::string_view seat);
    // The shop's order of that serial as the back office holds it.
    std::optional<webhost::Order> FindOrder(std::string_view serial);

private:
    void Forward(const httplib::Request& request, httplib::Response& response,
                 std::string_view hostTarget);

    webhost::WebHost m_host;
    int m_hostPort = 0;
    httplib::Server m_front;
    int m_frontPort = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_served;
    std::vector<std::string> m_bodies;                         // of m_served
    std::vector<std::pair<std::string, std::string>> m_steps;  // path, script
};

}  // namespace zn::e2e
