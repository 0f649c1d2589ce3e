#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// The picture on a 128 x 128 grid, scaled to the pixmap.
QPixmap paintIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);
    auto box = [&p](qreal x, qreal y, qreal w, qreal h, qreal r, const char* colour) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(QLatin1String(colour)));
        p.drawRoundedRect(QRectF(x, y, w, h), r, r);
    };
    // The report slip.
    QPainterPath slip;
    slip.moveTo(72, 14);
    for (int x = 76; x <= 104; x += 4)
        slip.lineTo(x, (x - 72) % 8 == 4 ? 8 : 14);
    slip.lineTo(104, 56);
    slip.lineTo(72, 56);
    slip.closeSubpath();
    p.setPen(QPen(QColor(0x78, 0x90, 0x9c), 2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(slip);
    for (auto [y, w] : {std::pair{20, 22}, {27, 16}, {34, 22}, {41, 12}})
        box(77, y, w, 3, 1.5, "#78909c");
    // The customer display with "FM".
    box(31, 38, 10, 16, 0, "#37474f");
    box(12, 12, 48, 28, 5, "#263238");
    box(17, 17, 38, 18, 2, "#1de9b6");
    QPainterPath fm;
    fm.moveTo(25, 31);
    fm.lineTo(25, 21);
    fm.lineTo(32, 21);
    fm.moveTo(25, 26);
    fm.lineTo(30, 26);
    fm.moveTo(37, 31);
    fm.lineTo(37, 21);
    fm.lineTo(42, 27);
    fm.lineTo(47, 21);
    fm.lineTo(47, 31);
    p.setPen(QPen(QColor(0x00, 0x4d, 0x40), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(fm);
    // The body with its keys.
    const QPolygonF body({QPointF(14, 52), QPointF(114, 52), QPointF(122, 94), QPointF(6, 94)});
    p.setPen(QPen(QColor(0x37, 0x47, 0x4f), 2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(QColor(0x45, 0x5a, 0x64));
    p.drawPolygon(body);
    for (int i = 0; i < 4; ++i) {
        box(24 + 15 * i, 59, 11, 8, 2, "#eceff1");
        box(21 + 16 * i, 70, 12, 9, 2, "#eceff1");
        box(18 + 17 * i, 82, 13, 9, 2, "#eceff1");
    }
    box(86, 59, 18, 8, 2, "#ef5350");
    box(87, 70, 22, 21, 2, "#66bb6a");
    // The cash drawer.
    box(6, 96, 116, 24, 4, "#37474f");
    box(46, 105, 36, 6, 3, "#b0bec5");
    return pixmap;
}

}  // namespace

QIcon ApplicationIcon()
{
    QIcon painted;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        painted.addPixmap(paintIcon(size));
    const QIcon themed = QIcon::fromTheme(QStringLiteral("vobrelfm"));
    // A theme icon the desktop cannot draw (an SVG without the image plug-in) has no sizes.
    return !themed.isNull() && !themed.availableSizes().isEmpty() ? themed : painted;
}
