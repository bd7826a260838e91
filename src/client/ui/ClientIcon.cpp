#include "ClientIcon.h"

#include <QFont>
#include <QLinearGradient>

#include "gui/DrawnIcon.h"

namespace zn::client {

QIcon DrawClientIcon() {
    return gui::DrawnIcon([](QPainter& painter, const QRectF& tile) {
        QLinearGradient shade(tile.topLeft(), tile.bottomLeft());
        shade.setColorAt(0, QColor(0x3c, 0xb3, 0x71));
        shade.setColorAt(1, QColor(0x1e, 0x7a, 0x46));
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade);
        painter.drawRoundedRect(tile, tile.width() / 5, tile.width() / 5);
        QFont font;
        font.setBold(true);
        font.setPixelSize(static_cast<int>(tile.height() * 2 / 3));
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(tile, Qt::AlignCenter, QStringLiteral("购"));
    });
}

}  // namespace zn::client
