// The registry stand-in's file parser: any text parses, and a document that may be written back
// keeps every value through a write and a read.

#include <cstdint>
#include <string_view>

#include "platform/RegFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto document = zn::RegDocument::Parse(text);
    for (const auto& key : document.Keys()) {
        document.KeyExists(key.path);
        for (const auto& value : key.values) {
            document.FindValue(key.path, value.name);
        }
    }
    if (!document.Faithful()) {
        return 0;
    }
    const std::string written = document.Format();
    const auto reread = zn::RegDocument::Parse(written);
    if (!reread.Faithful() || reread.Format() != written) {
        __builtin_trap();
    }
    return 0;
}
