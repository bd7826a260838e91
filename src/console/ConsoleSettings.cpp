#include "console/ConsoleSettings.h"

#include <algorithm>

#include "common/DefaultHosts.h"
#include "net/StoredPort.h"
#include "platform/Registry.h"

namespace zn::console {

namespace {

std::string BackOfficePage(std::string_view path) {
    return std::string(DefaultHosts::kBackOffice) + std::string(path);
}

}  // namespace

std::optional<std::uint32_t> ConsoleSettings::ReadStoredNumber(std::string_view name) const {
    const auto key = m_registry.OpenKey(RegistryRoot::LocalMachine, kConsoleKeyPath);
    if (!key) {
        return std::nullopt;
    }
    return key->QueryDword(name);
}

std::uint32_t ConsoleSettings::ReadNumber(std::string_view name, std::uint32_t fallback) const {
    const auto value = ReadStoredNumber(name);
    return value && *value != 0 ? *value : fallback;
}

std::optional<std::string> ConsoleSettings::ReadStoredText(std::string_view name) const {
    const auto key = m_registry.OpenKey(RegistryRoot::LocalMachine, kConsoleKeyPath);
    if (!key) {
        return std::nullopt;
    }
    // A text too long for its buffer fails the query like a missing one.
    return key->QueryString(name);
}

std::string ConsoleSettings::ReadText(std::string_view name, std::string fallback) const {
    auto value = ReadStoredText(name);
    return value ? std::move(*value) : fallback;
}

std::uint16_t ConsoleSettings::ReadPort(std::string_view name, std::uint16_t fallback) const {
    return StoredPort(name, ReadNumber(name, fallback), fallback);
}

std::uint16_t ConsoleSettings::LocalPort() const {
    return ReadPort("LocalPort", 8001);
}
std::uint16_t ConsoleSettings::RemotePort() const {
    return ReadPort("RemotePort", 8004);
}
std::uint16_t ConsoleSettings::BroadcastPort() const {
    return ReadPort("BroadcastPort", 9000);
}
std::uint16_t ConsoleSettings::ProxyConfigPort() const {
    return ReadPort("ProxyConfigPort", 8002);
}

std::string ConsoleSettings::LoginPage() const {
    return ReadText("LoginPage", BackOfficePage("/wb/loginsyt.jsp"));
}

std::optional<std::string> ConsoleSettings::StoredLoginPage() const {
    return ReadStoredText("LoginPage");
}

std::string ConsoleSettings::MainPageMurvel() const {
    return ReadText("MainPage_Murvel", BackOfficePage("/wb/loginsyt.jsp"));
}

std::string ConsoleSettings::ViewTransPageMurvel() const {
    return ReadText("ViewTransPage_Murvel", BackOfficePage("/jsp/empManage/noProcessInfo.jsp"));
}

std::string ConsoleSettings::TransactionDone1Murvel() const {
    return ReadText("TransactionDone1_Murvel", BackOfficePage("/wb/send_trans_success.jsp"));
}

std::string ConsoleSettings::TransactionDone2Murvel() const {
    return ReadText("TransactionDone2_Murvel", BackOfficePage("/wb/send_trans_fail.jsp"));
}

std::string ConsoleSettings::TransactionCancelMurvel() const {
    return ReadText("TransactionCancel_Murvel", "");
}

std::string ConsoleSettings::UpdateServerAddress() const {
    return ReadText("UpdateServerAddress", DefaultHosts::kUpdateServer);
}

std::string ConsoleSettings::UpdateServerPath() const {
    std::string path = ReadText("UpdateServerPath", "Zentrova/NubraServer/Update/");
    if (!path.ends_with('/')) {
        path += '/';
    }
    return path;
}

std::string ConsoleSettings::Launch() const {
    std::string launch = ReadText("Launch", "LaunchNubraServer");
    return launch.empty() ? "LaunchNubraServer" : launch;
}

std::string ConsoleSettings::UpdatePublicKey() const {
    return ReadText("UpdatePublicKey", "");
}

int ConsoleSettings::ReminderMinutes() const {
    const std::uint32_t minutes = ReadStoredNumber("ReminderMinutes").value_or(5);
    return static_cast<int>(std::min<std::uint32_t>(minutes, kMaxReminderMinutes));
}

int ConsoleSettings::ReminderCount() const {
    return static_cast<int>(
        std::min<std::uint32_t>(ReadNumber("ReminderCount", 3), kMaxReminderCount));
}

}  // namespace zn::console
