#include "gui/DrawnIcon.h"

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

}  // namespace zn::gui
