#include "BackOfficeFront.h"

#include <charconv>

#include "WaitFor.h"

namespace zn::e2e {
namespace {

// Asks the front for the next step of its path ten times a second; a step is a line of script.
constexpr std::string_view kControlScript = R"(<script>
(function () {
  function poll() {
    fetch('/test/action?path=' + encodeURIComponent(location.pathname))
      .then(function (r) { return r.text(); })
      .then(function (step) { if (step) { (0, eval)(step); } })
      .catch(function () {})
      .finally(function () { setTimeout(poll, 100); });
  }
  poll();
})();
</script>
)";

constexpr std::string_view kIframeLoginPath = "/test/iframe-login.jsp";

void InsertBefore(std::string& page, std::string_view tag, std::string_view addition) {
    const auto at = page.find(tag);
    page.insert(at == std::string::npos ? page.size() : at, addition);
}

}  // namespace

BackOfficeFront::BackOfficeFront(FrontOptions options)
    : m_host(webhost::WebHostConfig{.pagesFolder = ZN_WEBHOST_PAGES_DIR,
                                    .releasesFolder = std::move(options.releasesFolder),
                                    .logRequests = options.logRequests}) {
    m_hostPort = options.hostPort != 0 ? options.hostPort : m_host.Start(0).value_or(0);
    m_front.Get("/test/action",
                [this](const httplib::Request& request, httplib::Response& response) {
                    const std::string path = request.get_param_value("path");
                    std::string step;
                    {
                        const std::lock_guard lock(m_mutex);
                        for (auto found = m_steps.begin(); found != m_steps.end(); ++found) {
                            if (found->first == path) {
                                step = std::move(found->second);
                                m_steps.erase(found);
                                break;
                            }
                        }
                    }
                    response.set_content(step, "text/javascript");
                });
    m_front.Get(std::string(kIframeLoginPath),
                [this](const httplib::Request& q, httplib::Response& r) {
                    Forward(q, r, "/wb/loginsyt.jsp");
                });
    m_front.Get(
        ".*", [this](const httplib::Request& q, httplib::Response& r) { Forward(q, r, q.target); });
    m_front.Post(
        ".*", [this](const httplib::Request& q, httplib::Response& r) { Forward(q, r, q.target); });
    if (options.port == 0) {
        m_frontPort = m_front.bind_to_any_port("127.0.0.1");
    } else if (m_front.bind_to_port("127.0.0.1", options.port)) {
        m_frontPort = options.port;
    }
    m_thread = std::thread([this] { m_front.listen_after_bind(); });
    zn::test::WaitFor([this] { return m_front.is_running(); });
}

BackOfficeFront::~BackOfficeFront() {
    m_front.stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_host.Stop();
}

std::string BackOfficeFront::Address(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(m_frontPort) + std::string(path);
}

std::vector<std::string> BackOfficeFront::ServedPages() const {
    const std::lock_guard lock(m_mutex);
    return m_served;
}

std::string BackOfficeFront::PageBody(std::string_view prefix) const {
    const std::lock_guard lock(m_mutex);
    for (std::size_t i = 0; i < m_served.size(); ++i) {
        if (m_served[i].starts_with(prefix)) {
            return m_bodies[i];
        }
    }
    return {};
}

bool BackOfficeFront::WaitForPage(std::string_view prefix, std::chrono::milliseconds limit,
                                  std::size_t count) const {
    return zn::test::WaitFor(
        [&] {
            std::size_t seen = 0;
            for (const std::string& page : ServedPages()) {
                seen += page.starts_with(prefix) ? 1 : 0;
            }
            return seen >= count;
        },
        limit);
}

void BackOfficeFront::Queue(std::string path, std::string script) {
    const std::lock_guard lock(m_mutex);
    m_steps.emplace_back(std::move(path), std::move(script));
}

std::string BackOfficeFront::CreateOrder(std::string_view seat) {
    httplib::Client host("127.0.0.1", m_hostPort);
    const httplib::Params order{{"goods", "card-jx-30"},
                                {"qty", "1"},
                                {"seat", std::string(seat)},
                                {"ip", "127.0.0.1"},
                                {"cid", "12"}};
    const auto answer = host.Post("/wb/order", order);
    if (!answer || answer->status != 200) {
        return {};
    }
    // {"serial":"<digits>",...}
    const std::string_view body = answer->body;
    const auto start = body.find("\"serial\":\"");
    if (start == std::string_view::npos) {
        return {};
    }
    const auto digits = start + 10;
    return std::string(body.substr(digits, body.find('"', digits) - digits));
}

std::optional<webhost::Order> BackOfficeFront::FindOrder(std::string_view serial) {
    std::uint64_t number = 0;
    const auto [end, failure] =
        std::from_chars(serial.data(), serial.data() + serial.size(), number);
    if (failure != std::errc{} || end != serial.data() + serial.size()) {
        return std::nullopt;
    }
    return m_host.Orders().Find(number);
}

void BackOfficeFront::Forward(const httplib::Request& request, httplib::Response& response,
                              std::string_view hostTarget) {
    httplib::Client host("127.0.0.1", m_hostPort);
    const std::string target(hostTarget);
    const auto type = request.get_header_value("Content-Type");
    const auto answer =
        request.method == "POST" ? host.Post(target, request.body, type) : host.Get(target);
    if (!answer) {
        response.status = 502;
        return;
    }
    response.status = answer->status;
    std::string body = answer->body;
    const std::string contentType = answer->get_header_value("Content-Type");
    if (contentType.starts_with("text/html")) {
        {
            const std::lock_guard lock(m_mutex);
            m_served.push_back(request.target);
            m_bodies.push_back(body);
        }
        InsertBefore(body, "</head>", kControlScript);
        if (request.path == kIframeLoginPath) {
            InsertBefore(body, "</body>", "<iframe src=\"/wb/notice.html\"></iframe>\n");
        }
    }
    response.set_content(body, contentType);
}

}  // namespace zn::e2e
