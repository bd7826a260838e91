// The head of an update server's answer, as any LAN host may send it: the parser never fails, and
// a download takes a body only under a 200 or 206 with one plain length.

#include <cstdint>
#include <string_view>

#include "update/ResponseHead.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const zn::ResponseHead head = zn::ParseResponseHead(text);
    if (!zn::RefusalOf(head).empty()) {
        return 0;
    }
    const bool taken = (head.status == 200 || head.status == 206) && head.length &&
                       !head.badLength && !head.encoded;
    if (!taken) {
        __builtin_trap();
    }
    return 0;
}
