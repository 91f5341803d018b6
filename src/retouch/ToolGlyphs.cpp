#include "retouch/ToolGlyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace {
const QColor Ink(40, 40, 40), Glass(190, 220, 240), Bulb(60, 60, 60), Metal(150, 150, 160), Paint(200, 40, 40),
    Sun(240, 200, 40), Night(60, 70, 130);
}  // namespace

QPixmap ToolPicture(ToolGlyph glyph) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
        case ToolGlyph::Eyedropper:  // a pipette held slanting, its bulb at the top right
            p.setPen(QPen(Ink, 1));
            p.setBrush(Glass);
            p.drawPolygon(QPolygonF({{2, 14}, {9, 5}, {11, 7}, {3, 15}}));
            p.setBrush(Bulb);
            p.drawEllipse(QRectF(10, 1, 5, 5));
            break;
        case ToolGlyph::Airbrush:  // a nozzle and its spray of dots
            p.setPen(QPen(Ink, 1));
            p.setBrush(Metal);
            p.drawRect(QRectF(8.5, 5.5, 6, 5));
            p.drawRect(QRectF(6.5, 7, 2, 2));
            p.setPen(Qt::NoPen);
            p.setBrush(Paint);
            for (const QPointF dot :
                 {QPointF(4, 8), QPointF(2, 5), QPointF(2, 11), QPointF(4, 3), QPointF(4, 13), QPointF(1, 8)})
                p.drawEllipse(dot, 1, 1);
            break;
        case ToolGlyph::Lighten:  // a sun
            p.setPen(QPen(Sun.darker(130), 1.5));
            for (int ray = 0; ray < 8; ++ray) {
                p.save();
                p.translate(8, 8);
                p.rotate(45 * ray);
                p.drawLine(QPointF(0, 5), QPointF(0, 7));
                p.restore();
            }
            p.setPen(QPen(Ink, 1));
            p.setBrush(Sun);
            p.drawEllipse(QPointF(8, 8), 3.5, 3.5);
            break;
        case ToolGlyph::Darken: {  // a crescent moon
            QPainterPath moon;
            moon.addEllipse(QPointF(8, 8), 6.5, 6.5);
            QPainterPath bite;
            bite.addEllipse(QPointF(11, 6), 5.5, 5.5);
            p.setPen(QPen(Ink, 1));
            p.setBrush(Night);
            p.drawPath(moon.subtracted(bite));
            break;
        }
    }
    return pixmap;
}
