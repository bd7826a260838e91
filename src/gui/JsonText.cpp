#include "gui/JsonText.h"

#include <cstddef>
#include <cstdint>

#include "platform/Utf8.h"

namespace zn::gui {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    std::size_t at = 0;
    while (at < text.size()) {
        const auto c = static_cast<std::uint8_t>(text[at]);
        if (c >= 0x80) {
            const std::size_t length = Utf8::SequenceLength(text, at);
            if (length == 0) {
                out.append(kReplacement);
                ++at;
            } else {
                out.append(text.substr(at, length));
                at += length;
            }
            continue;
        }
        switch (c) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            case '\b':
                out.append("\\b");
                break;
            case '\f':
                out.append("\\f");
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out.append("\\u00");
                    out.push_back(kHex[c >> 4]);
                    out.push_back(kHex[c & 0x0F]);
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
        ++at;
    }
    out.push_back('"');
}

}  // namespace zn::gui
