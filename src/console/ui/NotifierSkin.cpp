#include "NotifierSkin.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "gui/DrawnIcon.h"

namespace zn::console {

namespace {

const QColor kBandTop(0x3f, 0x74, 0xbd);
const QColor kBandBottom(0x24, 0x4f, 0x8c);
const QColor kFrame(0x4a, 0x6f, 0xa5);

// The console's mark: a rounded blue tile with a white coin.
void DrawMark(QPainter& painter, const QRectF& box) {
    QLinearGradient tile(box.topLeft(), box.bottomLeft());
    tile.setColorAt(0, kBandTop.lighter(125));
    tile.setColorAt(1, kBandBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    const qreal radius = box.width() / 5;
    painter.drawRoundedRect(box, radius, radius);

    const QRectF coin =
        box.adjusted(box.width() / 5, box.height() / 5, -box.width() / 5, -box.height() / 5);
    painter.setBrush(QColor(0xff, 0xd9, 0x5a));
    painter.setPen(QPen(Qt::white, box.width() / 16));
    painter.drawEllipse(coin);
    QFont font;
    font.setBold(true);
    font.setPixelSize(static_cast<int>(coin.height() * 0.72));
    painter.setFont(font);
    painter.setPen(kBandBottom);
    painter.drawText(coin, Qt::AlignCenter, QStringLiteral("¥"));
}

}  // namespace

QPixmap DrawNotifierSkin() {
    QPixmap skin(kNotifierSkinSize);
    const QRectF whole(QPointF(0, 0), QSizeF(kNotifierSkinSize));
    QPainter painter(&skin);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient body(whole.topLeft(), whole.bottomLeft());
    body.setColorAt(0, QColor(0xf7, 0xfa, 0xfe));
    body.setColorAt(1, QColor(0xd9, 0xe6, 0xf5));
    painter.fillRect(whole, body);

    const QRectF band(0, 0, whole.width(), 30);
    QLinearGradient bandFill(band.topLeft(), band.bottomLeft());
    bandFill.setColorAt(0, kBandTop);
    bandFill.setColorAt(1, kBandBottom);
    painter.fillRect(band, bandFill);
    painter.fillRect(QRectF(0, band.bottom(), whole.width(), 2), QColor(0xf2, 0xb1, 0x34));

    DrawMark(painter, QRectF(6, 5, 20, 20));
    QFont title;
    title.setBold(true);
    title.setPixelSize(13);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(31, 0, whole.width() - 35, band.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("墨维网吧收银台"));

    // A faint coin in the corner behind the text.
    painter.setOpacity(0.08);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBandBottom);
    painter.drawEllipse(QRectF(whole.width() - 58, whole.height() - 52, 72, 72));
    painter.setOpacity(1);

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(kFrame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(whole.adjusted(0, 0, -1, -1));
    return skin;
}

QIcon DrawConsoleIcon() {
    return gui::DrawnIcon(DrawMark);
}

}  // namespace zn::console
