#include "kyiconstrip.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

struct Slice {
    int x;
    int width;
};

Slice sliceOf(KyIcon icon)
{
    switch (icon) {
    case KyIcon::Loop:
        return {4, 30};
    case KyIcon::GotoStart:
        return {33, 26};
    case KyIcon::PlayStop:
        return {59, 22};
    case KyIcon::GotoEnd:
        return {102, 26};
    case KyIcon::Split:
        return {143, 30};
    case KyIcon::Join:
        return {173, 30};
    case KyIcon::Crop:
        return {204, 30};
    }
    return {0, 1};
}

void triangle(QPainter &p, double tipX, double baseX, double cy, double half)
{
    p.drawPolygon(QPolygonF({QPointF(tipX, cy), QPointF(baseX, cy - half), QPointF(baseX, cy + half)}));
}

QPixmap drawStrip()
{
    QPixmap strip(275, 29);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen black(Qt::black, 1.5);
    const QPen grey(QColor(128, 128, 128), 1.0);
    const double cy = 14.0;

    // Loop: two curved arrows chasing each other.
    p.setPen(black);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 7, 20, 14), 30 * 16, 150 * 16);
    p.drawArc(QRectF(9, 7, 20, 14), 210 * 16, 150 * 16);
    p.setBrush(Qt::black);
    triangle(p, 31, 26, 11, 3);
    triangle(p, 7, 12, 17, 3);

    // Goto start: a bar and two left-pointing triangles.
    p.setPen(black);
    p.fillRect(QRectF(38, cy - 6, 2, 12), Qt::black);
    triangle(p, 41, 48, cy, 6);
    triangle(p, 48, 55, cy, 6);

    // Play: one right-pointing triangle.
    triangle(p, 77, 64, cy, 7);

    // Goto end: two right-pointing triangles and a bar.
    triangle(p, 114, 107, cy, 6);
    triangle(p, 121, 114, cy, 6);
    p.fillRect(QRectF(122, cy - 6, 2, 12), Qt::black);

    // Split: "][" with small blue marks at the gap.
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(150, 6), QPointF(156, 6), QPointF(156, 22), QPointF(150, 22)}));
    p.drawPolyline(QPolygonF({QPointF(166, 6), QPointF(160, 6), QPointF(160, 22), QPointF(166, 22)}));
    p.setPen(QPen(QColor(40, 80, 220), 1.5));
    p.drawLine(QPointF(158, 1), QPointF(158, 4));
    p.drawLine(QPointF(158, 24), QPointF(158, 27));

    // Join: a rectangle divided by a dotted line.
    p.setPen(black);
    p.drawRect(QRectF(178, 7, 20, 14));
    p.setPen(QPen(QColor(128, 128, 128), 1.0, Qt::DotLine));
    p.drawLine(QPointF(188, 7), QPointF(188, 21));

    // Crop: two interlocking right angles and a diagonal.
    p.setPen(black);
    p.drawPolyline(QPolygonF({QPointF(212, 3), QPointF(212, 20), QPointF(229, 20)}));
    p.drawPolyline(QPolygonF({QPointF(208, 8), QPointF(225, 8), QPointF(225, 25)}));
    p.setPen(grey);
    p.drawLine(QPointF(208, 25), QPointF(231, 3));
    return strip;
}

} // namespace

const QPixmap &kyIconStrip()
{
    static const QPixmap strip = drawStrip();
    return strip;
}

QIcon kyIcon(KyIcon icon)
{
    const Slice s = sliceOf(icon);
    return QIcon(kyIconStrip().copy(s.x, 0, s.width, 28));
}
