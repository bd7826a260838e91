#include "platform/ExeSuffix.h"

#include "platform/AsciiCase.h"

namespace zn {

std::string_view WithoutExeSuffix(std::string_view name) {
    constexpr std::string_view kSuffix = ".exe";
    if (name.size() > kSuffix.size() &&
        EqualsIgnoringCase(name.substr(name.size() - kSuffix.size()), kSuffix)) {
        name.remove_suffix(kSuffix.size());
    }
    return name;
}

}  // namespace zn
