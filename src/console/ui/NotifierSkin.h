#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace zn::console {

// Skin 130 of the popup: 148 x 120 pixels.
inline constexpr QSize kNotifierSkinSize{148, 120};

// The popup's background picture, drawn at start: a title band above the text area.
QPixmap DrawNotifierSkin();
// Icon 135: the console's window and tray icon.
QIcon DrawConsoleIcon();

}  // namespace zn::console
