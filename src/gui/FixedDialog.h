#pragma once

#include <Qt>

namespace zn::gui {

// A dialog whose layout fixes its size (the template's): a title and a close button, no maximise
// or minimise button that would only show a stretched or empty window.
inline constexpr Qt::WindowFlags kFixedDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowCloseButtonHint;

}  // namespace zn::gui
