#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace zn {

enum class ServiceState { Stopped, Changing, Running };

// The machine's service manager, as the deployment needs it.
class IServiceManager {
public:
    virtual ~IServiceManager() = default;
    // False for a service the manager does not know (it cannot be opened).
    virtual bool Exists(std::string_view name) = 0;
    // Ask without waiting; whether the request took is seen in QueryState.
    virtual void RequestStart(std::string_view name) = 0;
    virtual void RequestStop(std::string_view name) = 0;
    // nullopt when the state cannot be read.
    virtual std::optional<ServiceState> QueryState(std::string_view name) = 0;
};

// How long the waits poll; a service that has not reached the wanted state by `limit` is given
// up (logged) and the caller goes on.
struct ServiceWait {
    std::chrono::milliseconds interval{1000};
    std::chrono::milliseconds limit{std::chrono::seconds(60)};
};

// Asks for the start again each interval until the service runs. True when it ended running;
// false for an unknown service, a state that cannot be read, or the limit reached.
bool StartServiceAndWait(IServiceManager& services, std::string_view name,
                         const ServiceWait& wait = {});
// The same for stopping; an already stopped service returns true at once.
bool StopServiceAndWait(IServiceManager& services, std::string_view name,
                        const ServiceWait& wait = {});

}  // namespace zn
