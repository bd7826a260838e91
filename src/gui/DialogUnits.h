#pragma once

#include <QFont>
#include <QSize>

namespace zn::gui {

// Dialog units scale with the dialog's font: a quarter of the average character width across, an
// eighth of the character height down.
QSize DialogUnitsToPixels(const QFont& font, QSize units);

}  // namespace zn::gui
