#include "ConfigIcon.h"

#include "gui/DrawnIcon.h"

namespace zn::config {

QIcon DrawConfigIcon() {
    return gui::LetterIcon(QColor(0x5b, 0x7f, 0xc7), QColor(0x2f, 0x4f, 0x8f),
                           QStringLiteral("配"));
}

}  // namespace zn::config
