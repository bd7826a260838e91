#pragma once

#include <QIcon>
#include <QPainter>
#include <QRectF>

#include <functional>

namespace zn::gui {

// An icon drawn at the sizes a window frame, taskbar and tray ask for; `draw` paints into the
// given square, antialiased, on a transparent ground.
QIcon DrawnIcon(const std::function<void(QPainter& painter, const QRectF& square)>& draw);

}  // namespace zn::gui
