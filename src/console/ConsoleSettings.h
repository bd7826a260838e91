#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zn {
class Registry;
}

namespace zn::console {

// HKEY_LOCAL_MACHINE key of every console setting.
inline constexpr std::string_view kConsoleKeyPath = "SOFTWARE\\Pexora\\ZentrovaConsole";
inline constexpr std::string_view kListenerKeyPath = "SOFTWARE\\Pexora\\ZentrovaConsole\\Listener";

// The console's settings, read afresh from the registry at every call and never cached. A
// missing key, a missing or unreadable value, a text that is too long or a number stored as 0
// gives the built-in default; no failure is ever reported.
class ConsoleSettings {
public:
    explicit ConsoleSettings(const Registry& registry) : m_registry(registry) {}

    // Ports follow StoredPort.
    std::uint16_t LocalPort() const;        // 8001
    std::uint16_t RemotePort() const;       // 8004
    std::uint16_t BroadcastPort() const;    // 9000
    std::uint16_t ProxyConfigPort() const;  // 8002

    std::string LoginPage() const;
    // "LoginPage" as stored, without the default (the configuration tool asks only this): nullopt
    // when the key cannot be opened or the value is missing or too long.
    std::optional<std::string> StoredLoginPage() const;
    std::string MainPageMurvel() const;
    std::string ViewTransPageMurvel() const;
    std::string TransactionDone1Murvel() const;
    std::string TransactionDone2Murvel() const;
    // Our own addition: the page that a reject the console carried out opens, so that a back
    // office records a cancellation only when the console did not refuse it. Without a default:
    // an operator's back office has no such page unless its administrator names one. Empty when
    // none is set.
    std::string TransactionCancelMurvel() const;
    std::string UpdateServerAddress() const;
    // Always ends in "/".
    std::string UpdateServerPath() const;
    // Never empty.
    std::string Launch() const;
    // Our own addition: the minisign public keys that releases must be signed with; empty (the
    // default) takes releases unverified.
    std::string UpdatePublicKey() const;

    // Our own additions: after how many minutes an open order is announced again (0: never, unlike
    // other numbers, where 0 gives the default; at most a day), and at most how many times.
    int ReminderMinutes() const;  // 5
    int ReminderCount() const;    // 3, at most kMaxReminderCount
    static constexpr int kMaxReminderMinutes = 24 * 60;
    static constexpr int kMaxReminderCount = 100;

private:
    std::optional<std::uint32_t> ReadStoredNumber(std::string_view name) const;
    std::uint32_t ReadNumber(std::string_view name, std::uint32_t fallback) const;
    std::uint16_t ReadPort(std::string_view name, std::uint16_t fallback) const;
    std::string ReadText(std::string_view name, std::string fallback) const;
    std::optional<std::string> ReadStoredText(std::string_view name) const;

    const Registry& m_registry;
};

}  // namespace zn::console
