#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <httplib.h>

#include "OrderStore.h"
#include "PageTemplate.h"
#include "ReleaseFiles.h"

namespace zn::webhost {

struct WebHostConfig {
    std::string bindAddress = "127.0.0.1";
    // Without it only loopback addresses are served, so a demo never reaches the LAN by accident.
    bool allowLan = false;
    std::filesystem::path pagesFolder;
    // Update releases served under their paths (ReleaseFiles); none when empty.
    std::filesystem::path releasesFolder{};
    // The demo account of the back office and the shop customer id of its counter.
    std::string user = "demo";
    std::string password = "1234";
    std::string customerId = "12";
    bool logRequests = true;
};

// The local stand-in for the operator's back office and shop, and for the partner site of the alert
// sounds. It serves pages that keep the page contract of the programs and holds the shop's orders
// in memory.
class WebHost {
public:
    explicit WebHost(WebHostConfig config);
    ~WebHost();
    WebHost(const WebHost&) = delete;
    WebHost& operator=(const WebHost&) = delete;

    // Binds the configured address at the port (0: any free port) and serves on a thread of its
    // own. Returns the bound port; nullopt when the address is refused (not loopback and LAN not
    // allowed), the port cannot be bound, or the host already runs.
    std::optional<int> Start(int port);
    // Stops serving and waits for the serving thread; harmless when not started.
    void Stop();

    OrderStore& Orders() { return m_orders; }

private:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
    struct Route {
        std::string method;  // "GET" or "POST"
        std::string path;    // exact path, no query
        Handler handler;
    };

    // Every address the host answers; a new page is one more line here.
    std::vector<Route> RouteTable();

    void LoginOrMainPage(const httplib::Request& request, httplib::Response& response);
    void OrderListPage(const httplib::Request& request, httplib::Response& response);
    void TransactionPage(const httplib::Request& request, httplib::Response& response);
    void TransactionDonePage(const httplib::Request& request, httplib::Response& response,
                             bool delivered);
    void ShopPage(const httplib::Request& request, httplib::Response& response);
    // The seat's newest order, framed in the notice page after an order; code page 936, as the
    // programs' edges are.
    void OrderConfirmationPage(const httplib::Request& request, httplib::Response& response) const;
    void CreateOrder(const httplib::Request& request, httplib::Response& response);
    void TransactionCancelPage(const httplib::Request& request, httplib::Response& response);
    void ReSendOrder(const httplib::Request& request, httplib::Response& response);
    void StaticFile(std::string_view fileName, httplib::Response& response) const;
    void SoundPage(httplib::Response& response) const;

    void RenderMainPage(bool confirmLogin, const std::string& user, const std::string& employee,
                        const std::string& mac, httplib::Response& response) const;
    // The page with its values filled in; nullopt once a missing page has been answered 500.
    std::optional<std::string> FilledPage(std::string_view fileName, const PageValues& values,
                                          httplib::Response& response) const;
    void RenderPage(std::string_view fileName, const PageValues& values,
                    httplib::Response& response) const;
    void RenderGbkPage(std::string_view fileName, const PageValues& values,
                       httplib::Response& response) const;
    std::optional<std::string> ReadPage(std::string_view fileName) const;
    std::string OrderRows() const;
    // The seat address of the newest order that has one, for the main page's seat viewer.
    std::string LastSeatAddress() const;

    const WebHostConfig m_config;
    OrderStore m_orders;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
};

}  // namespace zn::webhost
