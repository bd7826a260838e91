#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace zn {
class Registry;
class WindowDirectory;
}  // namespace zn

namespace zn::console {

// A listener window that does not acknowledge within this bound is skipped, so a hung program
// cannot hold a request worker.
inline constexpr std::chrono::milliseconds kListenerAckTimeout{5000};
// The copy-data number is this base plus the event code.
inline constexpr std::uint32_t kListenerNumberBase = 10000;

// Tells every window listed under the console's Listener key (value name: class, data: title)
// of an event: number 10000 + eventCode, the text in the wire code page with its terminator.
// Entries whose window does not exist or does not answer in time are skipped; the walk stops at
// the first value whose name does not fit its 260-byte buffer. Returns how many windows
// acknowledged.
// Whether the Listener key lists anything: without it, telling the listeners does nothing.
bool AnyListenerListed(const Registry& registry);

int NotifyListeners(const Registry& registry, const WindowDirectory& windows,
                    std::string_view utf8Text, std::uint32_t eventCode,
                    std::chrono::milliseconds timeout = kListenerAckTimeout);

}  // namespace zn::console
