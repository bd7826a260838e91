#include "update/SystemdServices.h"

#include <chrono>
#include <vector>

#include "platform/ProgramOutput.h"

namespace zn {

namespace {

constexpr std::chrono::seconds kSystemctlLimit{30};

std::string_view FirstLine(std::string_view text) {
    return text.substr(0, text.find('\n'));
}

}  // namespace

SystemdServices::SystemdServices(std::string systemctl) : m_systemctl(std::move(systemctl)) {}

bool SystemdServices::Exists(std::string_view name) {
    const auto result = RunForOutput({m_systemctl, "--no-ask-password", "show",
                                      "--property=LoadState", "--value", "--", std::string(name)},
                                     kSystemctlLimit);
    return result && result->exitCode == 0 && FirstLine(result->output) == "loaded";
}

void SystemdServices::RequestStart(std::string_view name) {
    RunForOutput({m_systemctl, "--no-ask-password", "--no-block", "start", "--", std::string(name)},
                 kSystemctlLimit);
}

void SystemdServices::RequestStop(std::string_view name) {
    RunForOutput({m_systemctl, "--no-ask-password", "--no-block", "stop", "--", std::string(name)},
                 kSystemctlLimit);
}

std::optional<ServiceState> SystemdServices::QueryState(std::string_view name) {
    const auto result = RunForOutput(
        {m_systemctl, "--no-ask-password", "is-active", "--", std::string(name)}, kSystemctlLimit);
    return result ? ServiceStateFromActiveText(FirstLine(result->output)) : std::nullopt;
}

std::optional<ServiceState> ServiceStateFromActiveText(std::string_view text) {
    if (text == "active" || text == "reloading") {
        return ServiceState::Running;
    }
    if (text == "inactive" || text == "failed") {
        return ServiceState::Stopped;
    }
    if (text == "activating" || text == "deactivating" || text == "refreshing") {
        return ServiceState::Changing;
    }
    return std::nullopt;
}

}  // namespace zn
