#pragma once

#include <string>

#include "update/ServiceControl.h"

namespace zn {

// Services are systemd units, driven through systemctl (each call bounded by kSystemctlLimit).
// The unit name is always passed after "--", so a name from a manifest is never read as an option.
class SystemdServices : public IServiceManager {
public:
    explicit SystemdServices(std::string systemctl = "systemctl");

    bool Exists(std::string_view name) override;
    void RequestStart(std::string_view name) override;
    void RequestStop(std::string_view name) override;
    std::optional<ServiceState> QueryState(std::string_view name) override;

private:
    std::string m_systemctl;
};

// What `systemctl is-active` prints, as a state; nullopt for an answer that is none of them.
std::optional<ServiceState> ServiceStateFromActiveText(std::string_view text);

}  // namespace zn
