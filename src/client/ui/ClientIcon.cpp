#include "ClientIcon.h"

#include "gui/DrawnIcon.h"

namespace zn::client {

QIcon DrawClientIcon() {
    return gui::LetterIcon(QColor(0x3c, 0xb3, 0x71), QColor(0x1e, 0x7a, 0x46),
                           QStringLiteral("购"));
}

}  // namespace zn::client
