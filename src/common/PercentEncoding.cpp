#include "common/PercentEncoding.h"

#include "platform/TextCodec.h"

namespace zn {

std::string PercentEncodeGbk(std::string_view utf8, std::string_view reserved) {
    return PercentEncode(TextCodec::Utf8ToGbk(utf8), [reserved](unsigned char byte) {
        return byte < 0x20 || byte >= 0x7F ||
               reserved.find(static_cast<char>(byte)) != std::string_view::npos;
    });
}

}  // namespace zn
