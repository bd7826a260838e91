#include "gui/DialogUnits.h"

#include <QFontMetrics>

namespace zn::gui {

QSize DialogUnitsToPixels(const QFont& font, QSize units) {
    const QFontMetrics metrics(font);
    return {units.width() * metrics.averageCharWidth() / 4, units.height() * metrics.height() / 8};
}

}  // namespace zn::gui
