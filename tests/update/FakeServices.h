#pragma once

#include <map>
#include <string>
#include <vector>

#include "update/ServiceControl.h"

namespace zn::test {

// A service manager whose services take a given number of requests to change state.
class FakeServices : public IServiceManager {
public:
    struct Service {
        ServiceState state = ServiceState::Stopped;
        int requestsPerChange = 1;  // 0 or less: it never changes
        int pendingRequests = 0;
        bool readable = true;
    };

    bool Exists(std::string_view name) override { return services.contains(std::string(name)); }
    void RequestStart(std::string_view name) override { Request(name, ServiceState::Running); }
    void RequestStop(std::string_view name) override { Request(name, ServiceState::Stopped); }
    std::optional<ServiceState> QueryState(std::string_view name) override {
        const Service& service = services.at(std::string(name));
        return service.readable ? std::optional(service.state) : std::nullopt;
    }

    std::map<std::string, Service> services;
    std::vector<std::string> requests;

private:
    void Request(std::string_view name, ServiceState wanted) {
        requests.push_back(std::string(wanted == ServiceState::Running ? "start " : "stop ") +
                           std::string(name));
        Service& service = services.at(std::string(name));
        if (service.state == wanted) {
            return;
        }
        service.state = ServiceState::Changing;
        if (service.requestsPerChange > 0 &&
            ++service.pendingRequests == service.requestsPerChange) {
            service.state = wanted;
            service.pendingRequests = 0;
        }
    }
};

}  // namespace zn::test
