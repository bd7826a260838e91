#include "ClientIcon.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

namespace zn::client {

QIcon DrawClientIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap picture(size, size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF tile(0.5, 0.5, size - 1, size - 1);
        QLinearGradient shade(tile.topLeft(), tile.bottomLeft());
        shade.setColorAt(0, QColor(0x3c, 0xb3, 0x71));
        shade.setColorAt(1, QColor(0x1e, 0x7a, 0x46));
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade);
        painter.drawRoundedRect(tile, size / 5.0, size / 5.0);
        QFont font;
        font.setBold(true);
        font.setPixelSize(size * 2 / 3);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(tile, Qt::AlignCenter, QStringLiteral("购"));
        painter.end();
        icon.addPixmap(picture);
    }
    return icon;
}

}  // namespace zn::client
