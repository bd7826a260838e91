#include "update/ServiceControl.h"

#include <thread>

#include "platform/Log.h"

namespace zn {

namespace {

bool RequestAndWait(IServiceManager& services, std::string_view name, ServiceState wanted,
                    const ServiceWait& wait) {
    const char* verb = wanted == ServiceState::Running ? "start" : "stop";
    if (!services.Exists(name)) {
        log::Warn("Cannot {} the service {}: it does not exist", verb, name);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait.limit;
    while (true) {
        if (wanted == ServiceState::Running) {
            services.RequestStart(name);
        } else {
            services.RequestStop(name);
        }
        const auto state = services.QueryState(name);
        if (!state) {
            log::Warn("Cannot read the state of the service {}", name);
            return false;
        }
        if (*state == wanted) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            log::Warn("The service {} did not {} within {} ms; going on", name, verb,
                      wait.limit.count());
            return false;
        }
        std::this_thread::sleep_for(wait.interval);
    }
}

}  // namespace

bool StartServiceAndWait(IServiceManager& services, std::string_view name,
                         const ServiceWait& wait) {
    return RequestAndWait(services, name, ServiceState::Running, wait);
}

bool StopServiceAndWait(IServiceManager& services, std::string_view name, const ServiceWait& wait) {
    return RequestAndWait(services, name, ServiceState::Stopped, wait);
}

}  // namespace zn
