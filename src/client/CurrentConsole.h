#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

namespace zn::client {

// The IPv4 address (host order) of the console that the seat's last request connection went to:
// the one peer whose feedback connections the seat takes. None before the first connection. A
// console keeps it while the seat reconnects, and after a reconnect that failed, as long as no
// other console has been reached: its results for this seat still come. Any thread.
class CurrentConsole {
public:
    void Set(std::uint32_t address) { m_address = address; }
    std::optional<std::uint32_t> Get() const {
        const std::int64_t address = m_address;
        return address == kNone ? std::nullopt : std::optional(static_cast<std::uint32_t>(address));
    }

private:
    static constexpr std::int64_t kNone = -1;
    std::atomic<std::int64_t> m_address{kNone};
};

}  // namespace zn::client
