#include "PageTemplate.h"

#include "platform/Utf8.h"

namespace zn::webhost {

std::string EscapeHtml(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
                break;
        }
    }
    return escaped;
}

std::string BoundedText(std::string_view text, std::size_t maxBytes) {
    return std::string(Utf8::Cut(text, maxBytes));
}

std::string RenderTemplate(std::string_view page, const PageValues& values) {
    std::string out;
    out.reserve(page.size());
    std::size_t pos = 0;
    while (pos < page.size()) {
        const std::size_t open = page.find("{{", pos);
        if (open == std::string_view::npos) {
            break;
        }
        const std::size_t close = page.find("}}", open + 2);
        if (close == std::string_view::npos) {
            break;
        }
        out.append(page.substr(pos, open - pos));
        std::string_view name = page.substr(open + 2, close - open - 2);
        const bool raw = !name.empty() && name.front() == '&';
        if (raw) {
            name.remove_prefix(1);
        }
        if (const auto found = values.find(name); found != values.end()) {
            out += raw ? found->second : EscapeHtml(found->second);
        }
        pos = close + 2;
    }
    out.append(page.substr(pos));
    return out;
}

}  // namespace zn::webhost
