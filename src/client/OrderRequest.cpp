#include "client/OrderRequest.h"

#include <string>

#include "platform/TextCodec.h"

namespace zn::client {

std::vector<std::byte> BuildOrderBody(std::string_view serial, std::string_view platformId,
                                      int counterMode) {
    std::string text;
    if (counterMode >= 1) {
        text += 'Z';
    }
    if (platformId == "murvel") {
        text += 'O';
    }
    text += TextCodec::Utf8ToGbk(serial);
    std::vector<std::byte> body(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        body[i] = static_cast<std::byte>(text[i]);
    }
    return body;
}

}  // namespace zn::client
