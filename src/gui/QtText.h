#pragma once

#include <QString>

#include <string_view>

namespace zn::gui {

// The core's UTF-8 text as Qt's.
inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace zn::gui
