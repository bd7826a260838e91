#include "gui/DrawnIcon.h"

#include <QFont>
#include <QLinearGradient>
#include <QPixmap>

namespace zn::gui {

QIcon DrawnIcon(const std::function<void(QPainter& painter, const QRectF& square)>& draw) {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap picture(size, size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, QRectF(0.5, 0.5, size - 1, size - 1));
        painter.end();
        icon.addPixmap(picture);
    }
    return icon;
}

QIcon LetterIcon(const QColor& top, const QColor& bottom, const QString& letter) {
    return DrawnIcon([&](QPainter& painter, const QRectF& tile) {
        QLinearGradient shade(tile.topLeft(), tile.bottomLeft());
        shade.setColorAt(0, top);
        shade.setColorAt(1, bottom);
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade);
        painter.drawRoundedRect(tile, tile.width() / 5, tile.width() / 5);
        QFont font;
        font.setBold(true);
        font.setPixelSize(static_cast<int>(tile.height() * 2 / 3));
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(tile, Qt::AlignCenter, letter);
    });
}

}  // namespace zn::gui
