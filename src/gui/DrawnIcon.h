#pragma once

#include <QColor>
#include <QIcon>
#include <QPainter>
#include <QRectF>
#include <QString>

#include <functional>

namespace zn::gui {

// An icon drawn at the sizes a window frame, taskbar and tray ask for; `draw` paints into the
// given square, antialiased, on a transparent ground.
QIcon DrawnIcon(const std::function<void(QPainter& painter, const QRectF& square)>& draw);

// A program's icon: one white letter on a rounded tile shaded from `top` to `bottom`.
QIcon LetterIcon(const QColor& top, const QColor& bottom, const QString& letter);

}  // namespace zn::gui
