#include "icons.h"

#include <QPainter>
#include <QPainterPath>

namespace lexivo {

namespace {

constexpr int Size = 20;

QPixmap canvas(int size = Size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void magnifier(QPainter& p, QPointF centre, qreal radius, const QColor& rim) {
    p.setPen(QPen(rim, radius / 2.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(220, 235, 250, 200));
    p.drawEllipse(centre, radius, radius);
    const QPointF handle = centre + QPointF(radius * 0.75, radius * 0.75);
    p.drawLine(handle, handle + QPointF(radius * 0.9, radius * 0.9));
}

void gear(QPainter& p, QPointF centre, qreal r, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    QPainterPath path;
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(centre);
        p.rotate(i * 45);
        p.drawRect(QRectF(-r * 0.22, -r * 1.15, r * 0.44, r * 0.5));
        p.restore();
    }
    path.addEllipse(centre, r * 0.8, r * 0.8);
    path.addEllipse(centre, r * 0.32, r * 0.32);
    path.setFillRule(Qt::OddEvenFill);
    p.drawPath(path);
}

} // namespace

QIcon toolIcon(ToolIcon kind) {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor green(46, 125, 50), blue(30, 90, 160), grey(90, 90, 90), red(180, 40, 40);
    switch (kind) {
    case ToolIcon::FastRebuild:
        gear(p, {8, 11}, 6, grey);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(240, 170, 20));
        p.drawPolygon(QPolygonF({{14, 1}, {10, 10}, {14, 10}, {12, 19}, {19, 7}, {15, 7}}));
        break;
    case ToolIcon::CompleteRebuild:
        gear(p, {7, 8}, 5, grey);
        gear(p, {13, 13}, 5.5, green);
        break;
    case ToolIcon::Find:
        magnifier(p, {8, 8}, 5.5, blue);
        break;
    case ToolIcon::FindNext:
        magnifier(p, {7, 7}, 4.5, blue);
        p.setPen(Qt::NoPen);
        p.setBrush(green);
        p.drawPolygon(QPolygonF({{12, 13}, {19, 16}, {12, 19}}));
        break;
    case ToolIcon::Replace: {
        p.setPen(QPen(blue, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3, 6), QPointF(13, 6));
        p.setPen(QPen(green, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(7, 14), QPointF(17, 14));
        p.setPen(QPen(grey, 1.6));
        p.drawArc(QRectF(11, 4, 7, 8), 90 * 16, -180 * 16);
        p.setBrush(grey);
        p.drawPolygon(QPolygonF({{14.5, 12}, {11.5, 10}, {11.5, 14}}));
        break;
    }
    case ToolIcon::AutoReplace:
        p.setPen(QPen(green, 2));
        p.drawLine(QPointF(2, 5), QPointF(11, 5));
        p.drawLine(QPointF(2, 10), QPointF(11, 10));
        p.drawLine(QPointF(2, 15), QPointF(11, 15));
        p.setPen(QPen(blue, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({{12, 10}, {15, 14}, {19, 5}}));
        break;
    case ToolIcon::SearchInAllFunc:
        p.setPen(QPen(grey, 1));
        p.setBrush(QColor(250, 250, 250));
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(2 + i * 3, 2 + i * 2, 9, 11));
        magnifier(p, {12, 12}, 4, blue);
        break;
    case ToolIcon::ViewComments: {
        p.setPen(QPen(QColor(160, 120, 20), 1.2));
        p.setBrush(QColor(255, 230, 120));
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(2, 3, 16, 11), 3, 3);
        bubble.moveTo(6, 14);
        bubble.lineTo(5, 19);
        bubble.lineTo(10, 14);
        p.drawPath(bubble.simplified());
        p.setPen(QPen(QColor(120, 90, 20), 1.2));
        p.drawLine(QPointF(5, 7), QPointF(15, 7));
        p.drawLine(QPointF(5, 10), QPointF(12, 10));
        break;
    }
    case ToolIcon::Quit:
        p.setPen(QPen(red, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 5), QPointF(15, 15));
        p.drawLine(QPointF(15, 5), QPointF(5, 15));
        break;
    }
    p.end();
    return QIcon(pixmap);
}

QPixmap statusImage(int code) {
    if (code < 0 || code > 2) return {};
    QPixmap pixmap = canvas(16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (code) {
    case 0: // complete: a green tick
        p.setPen(QPen(QColor(40, 150, 50), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({{2.5, 8.5}, {6.5, 12.5}, {13.5, 3.5}}));
        break;
    case 1: // need revision: a sheet under a magnifying glass
        p.setPen(QPen(QColor(110, 110, 110), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 9, 12));
        p.setPen(QPen(QColor(150, 150, 150), 1));
        for (int y = 4; y <= 10; y += 3)
            p.drawLine(QPointF(3, y), QPointF(9, y));
        magnifier(p, {10, 9}, 3.2, QColor(30, 90, 160));
        break;
    case 2: // working: an hourglass
        p.setPen(QPen(QColor(120, 80, 30), 1.4));
        p.drawLine(QPointF(3, 1.5), QPointF(13, 1.5));
        p.drawLine(QPointF(3, 14.5), QPointF(13, 14.5));
        p.setBrush(QColor(250, 210, 120));
        p.drawPolygon(QPolygonF({{4, 2}, {12, 2}, {8, 8}, {12, 14}, {4, 14}, {8, 8}}));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 140, 40));
        p.drawPolygon(QPolygonF({{6, 13.5}, {10, 13.5}, {8, 10.5}}));
        break;
    }
    p.end();
    return pixmap;
}

} // namespace lexivo
