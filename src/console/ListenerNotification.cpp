#include "console/ListenerNotification.h"

#include <cstddef>
#include <span>
#include <string>
#include <variant>

#include "console/ConsoleSettings.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "platform/WindowDirectory.h"

namespace zn::console {

bool AnyListenerListed(const Registry& registry) {
    const auto key = registry.OpenKey(RegistryRoot::LocalMachine, kListenerKeyPath);
    return key && key->EnumValue(0).has_value();
}

int NotifyListeners(const Registry& registry, const WindowDirectory& windows,
                    std::string_view utf8Text, std::uint32_t eventCode,
                    std::chrono::milliseconds timeout) {
    const auto key = registry.OpenKey(RegistryRoot::LocalMachine, kListenerKeyPath);
    if (!key) {
        return 0;
    }
    std::string message = TextCodec::Utf8ToGbk(utf8Text);
    message.push_back('\0');
    const auto bytes = std::as_bytes(std::span(message));

    int acknowledged = 0;
    for (std::size_t index = 0;; ++index) {
        const auto value = key->EnumValue(index);
        if (!value || value->name.size() > kRegistryMaxTextBytes) {
            break;
        }
        const auto* title = std::get_if<std::string>(&value->data);
        // No window has an empty class name; the key's default value names none.
        if (title == nullptr || value->name.empty() || title->size() > kRegistryMaxTextBytes) {
            continue;
        }
        const auto window = windows.Find(value->name, *title);
        if (!window) {
            continue;
        }
        if (windows.SendCopyData(*window, kListenerNumberBase + eventCode, bytes, timeout) ==
            CopyDataResult::Acknowledged) {
            ++acknowledged;
        }
    }
    return acknowledged;
}

}  // namespace zn::console
