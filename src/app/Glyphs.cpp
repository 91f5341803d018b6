#include "app/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
const QColor Ink(40, 40, 40), Paper(250, 250, 245), Blue(40, 90, 200), Yellow(240, 200, 40), Red(200, 40, 40),
    Green(40, 150, 60), Grey(150, 150, 150);

void Page(QPainter& p, int x, int y, int w, int h) {
    p.setPen(Ink);
    p.setBrush(Paper);
    p.drawRect(x, y, w, h);
}

void Draw(QPainter& p, Glyph glyph) {
    p.setRenderHint(QPainter::Antialiasing, false);
    switch (glyph) {
        case Glyph::None: break;
        case Glyph::Open:  // open: a folder
            p.setPen(Ink);
            p.setBrush(Yellow);
            p.drawRect(1, 4, 13, 9);
            p.drawRect(1, 2, 5, 2);
            break;
        case Glyph::SaveAs:  // save as: a diskette
            p.setPen(Ink);
            p.setBrush(Blue);
            p.drawRect(1, 1, 13, 13);
            p.setBrush(Paper);
            p.drawRect(4, 1, 7, 5);
            p.setBrush(Grey);
            p.drawRect(4, 9, 7, 5);
            break;
        case Glyph::Print:  // print: a printer with a page
            Page(p, 4, 1, 7, 5);
            p.setBrush(Grey);
            p.drawRect(1, 6, 13, 6);
            Page(p, 4, 10, 7, 4);
            break;
        case Glyph::Exit:  // exit: an open door
            p.setPen(Ink);
            p.setBrush(Grey);
            p.drawRect(3, 1, 9, 13);
            p.setBrush(QColor(140, 90, 40));
            p.drawPolygon(QPolygon({{3, 1}, {8, 3}, {8, 15}, {3, 14}}));
            break;
        case Glyph::Undo: {  // undo: a curved arrow to the left
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(Blue, 2));
            QPainterPath path;
            path.moveTo(13, 12);
            path.cubicTo(13, 4, 8, 4, 4, 6);
            p.drawPath(path);
            p.setBrush(Blue);
            p.setPen(Qt::NoPen);
            p.drawPolygon(QPolygon({{1, 6}, {6, 2}, {6, 10}}));
            break;
        }
        case Glyph::Copy:  // copy: two pages
            Page(p, 1, 1, 8, 10);
            Page(p, 6, 4, 8, 11);
            break;
        case Glyph::Paste:  // paste: a clipboard with a page
            p.setPen(Ink);
            p.setBrush(QColor(170, 120, 60));
            p.drawRect(1, 2, 11, 13);
            p.setBrush(Grey);
            p.drawRect(4, 1, 5, 2);
            Page(p, 7, 6, 8, 9);
            break;
        case Glyph::Statistics:  // statistics: three bars
            p.setPen(Ink);
            p.setBrush(Red);
            p.drawRect(1, 8, 3, 7);
            p.setBrush(Green);
            p.drawRect(6, 3, 3, 12);
            p.setBrush(Blue);
            p.drawRect(11, 6, 3, 9);
            break;
        case Glyph::Zoom:  // zoom: a magnifying glass
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(Ink, 2));
            p.setBrush(QColor(200, 230, 255));
            p.drawEllipse(1, 1, 9, 9);
            p.drawLine(9, 9, 14, 14);
            break;
        case Glyph::Webcam:  // webcam: a round camera on a foot
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Ink);
            p.setBrush(Grey);
            p.drawEllipse(2, 1, 11, 11);
            p.setBrush(Ink);
            p.drawEllipse(5, 4, 5, 5);
            p.drawRect(4, 13, 7, 2);
            break;
        case Glyph::Scanner:  // scanner: a flat bed with a light bar
            p.setPen(Ink);
            p.setBrush(Grey);
            p.drawRect(1, 7, 13, 6);
            p.setBrush(QColor(120, 220, 120));
            p.drawRect(3, 9, 9, 1);
            Page(p, 3, 2, 9, 5);
            break;
        case Glyph::About:  // about: an "i" in a circle
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(Blue);
            p.drawEllipse(1, 1, 14, 14);
            p.setBrush(Qt::white);
            p.drawRect(7, 7, 2, 6);
            p.drawRect(7, 4, 2, 2);
            break;
        case Glyph::Retouch:  // retouch: a brush
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(QColor(140, 90, 40), 2));
            p.drawLine(14, 1, 7, 8);
            p.setPen(Ink);
            p.setBrush(Red);
            p.drawPolygon(QPolygon({{7, 7}, {9, 9}, {4, 15}, {1, 14}}));
            break;
    }
}
}  // namespace

QIcon MenuGlyph(Glyph glyph) {
    if (glyph == Glyph::None) return {};
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    Draw(painter, glyph);
    painter.end();
    return QIcon(pixmap);
}

QIcon ProgramGlyph() { return QIcon(QStringLiteral(":/corvalux-48.png")); }
