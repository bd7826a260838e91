#pragma once

#include <QString>

namespace zn::gui {

// True when a live program has published a top-level window with exactly this caption.
bool FindWindowByCaption(const QString& caption);

}  // namespace zn::gui
