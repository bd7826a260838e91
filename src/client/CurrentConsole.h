#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

namespace zn::client {

// The IPv4 address (host order) of the console that the seat's request connection goes to:
// the one peer whose feedback connections the seat takes. None before the first connection and
// after a failed one. Any thread.
class CurrentConsole {
public:
    void Set(std::uint32_t address) { m_address = address; }
    void Clear() { m_address = kNone; }
    std::optional<std::uint32_t> Get() const {
        const std::int64_t address = m_address;
        return address == kNone ? std::nullopt : std::optional(static_cast<std::uint32_t>(address));
    }

private:
    static constexpr std::int64_t kNone = -1;
    std::atomic<std::int64_t> m_address{kNone};
};

}  // namespace zn::client
