#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace zn::webhost {

// Text safe inside HTML content and inside quoted attribute values.
std::string EscapeHtml(std::string_view text);

// At most maxBytes bytes of the text, never cutting a UTF-8 sequence in two.
std::string BoundedText(std::string_view text, std::size_t maxBytes);

using PageValues = std::map<std::string, std::string, std::less<>>;

// Fills a page: "{{name}}" becomes the escaped value, "{{&name}}" the value as it stands (for
// markup the host built and escaped itself). An unknown name gives the empty text; a marker that
// is never closed stays as it is.
std::string RenderTemplate(std::string_view page, const PageValues& values);

}  // namespace zn::webhost
