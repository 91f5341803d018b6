#include "app/View.h"

#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "qtshared/ScreenColours.h"

namespace {
const QColor MidGrey(128, 128, 128);

// The frame runs along the selection's border pixels, Left..Right and Top..Bottom.
QRect FrameOf(const TRect& selection) {
    return {selection.Left, selection.Top, int(selection.Width() - 1), int(selection.Height() - 1)};
}

bool IsLine(const TRect& selection) { return selection.Left == selection.Right || selection.Top == selection.Bottom; }

const QColor Yellow(255, 255, 0);

// Qt's own outline: a black 3-pixel pen, then a yellow dotted 1-pixel one.
void StrokeFrame(QPainter& painter, const QRect& frame) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(frame);
    painter.setPen(QPen(Yellow, 1, Qt::DotLine));
    painter.drawRect(frame);
}

// The selection frame, painted within `area` exactly as StrokeFrame paints it on a surface
// that holds it whole. Qt starts the dots of a clipped line afresh at the clip's edge, so a
// part painted alone would not match its neighbours; here each pixel's colour follows from
// its place on the frame alone.
void PaintFrame(QPainter& painter, const TRect& selection, const QRect& area) {
    const QRect frame = FrameOf(selection);
    const QRect reach = FrameReach(selection);
    if (!reach.intersects(area)) return;
    const int left = selection.Left, top = selection.Top, right = selection.Right, bottom = selection.Bottom;
    if (IsLine(selection)) {
        // A frame one pixel across: Qt's caps and mitred joins make a shape of their own,
        // with spikes past the ends. Drawn whole on a scratch image that holds it, then copied.
        QImage scratch(reach.size(), QImage::Format_ARGB32);
        scratch.fill(Qt::transparent);
        QPainter scratchPainter(&scratch);
        scratchPainter.translate(-reach.topLeft());
        StrokeFrame(scratchPainter, frame);
        scratchPainter.end();
        painter.drawImage(reach.topLeft(), scratch);
        return;
    }
    // The black pen covers the border pixels and one either side.
    for (const QRect& band : {QRect(QPoint(left - 1, top - 1), QPoint(right + 1, top + 1)),
                              QRect(QPoint(left - 1, bottom - 1), QPoint(right + 1, bottom + 1)),
                              QRect(QPoint(left - 1, top - 1), QPoint(left + 1, bottom + 1)),
                              QRect(QPoint(right - 1, top - 1), QPoint(right + 1, bottom + 1))})
        painter.fillRect(band & area, Qt::black);
    // The dots: one pixel in three along the border, counted clockwise from the top left
    // corner, starting with the second.
    const std::int64_t across = std::int64_t(right) - left, down = std::int64_t(bottom) - top;
    std::vector<QPoint> dots;
    auto edge = [&](QPoint start, QPoint step, std::int64_t first, std::int64_t last, std::int64_t offset) {
        for (std::int64_t i = first; i <= last; ++i) {
            if ((offset + i) % 3 != 1) continue;
            const QPoint p = start + step * int(i);
            if (area.contains(p)) dots.push_back(p);
        }
    };
    edge({left, top}, {1, 0}, 0, across, 0);
    edge({right, top}, {0, 1}, 1, down, across);
    edge({right, bottom}, {-1, 0}, 1, across, across + down);
    edge({left, bottom}, {0, -1}, 1, down, 2 * across + down);
    // The corner where the path closes takes the last dot's place too.
    if ((2 * across + 2 * down) % 3 == 1 && area.contains(QPoint(left, top))) dots.push_back({left, top});
    painter.setPen(QPen(Yellow, 1));
    painter.drawPoints(dots.data(), int(dots.size()));
}
}  // namespace

QRect FrameReach(const TRect& selection) {
    const int margin = IsLine(selection) ? 8 : 1;
    return FrameOf(selection).adjusted(-margin, -margin, margin + 1, margin + 1);
}

QRect TextBoxAt(QPoint visibleOrigin) { return QRect(visibleOrigin, QSize(400, 45)); }

QSize ClientSizeFor(const Bitmap& picture) { return {std::max(picture.Width(), MinimumClientWidth), picture.Height()}; }

QFont WindowFont() {
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(11);
    return font;
}

void PaintView(QPainter& painter, const TViewContent& view, const QRect& area) {
    const QRect client(QPoint(0, 0), ClientSizeFor(view.Picture));
    const QRect part = area & client;
    if (part.isEmpty()) return;
    painter.save();
    painter.setClipRect(part);
    painter.fillRect(part, MidGrey);
    // Only the part asked for is converted, so that painting a screenful of a 24-megapixel
    // picture costs what the screen holds.
    const QRect pixels = part & QRect(0, 0, view.Picture.Width(), view.Picture.Height());
    if (!pixels.isEmpty()) painter.drawImage(pixels.topLeft(), ScreenImage(view.Picture, pixels, view.Screen));

    PaintFrame(painter, view.Selection, part);

    if (part.intersects(TextBoxAt(view.VisibleOrigin))) {
        QFont font = WindowFont();
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.setBackgroundMode(Qt::TransparentMode);
        const int ascent = painter.fontMetrics().ascent();
        const auto [widthLine, heightLine] = SelectionSizeText(view.Selection);
        const QPoint origin = view.VisibleOrigin;
        painter.drawText(origin.x() + 10, origin.y() + 10 + ascent, widthLine);
        painter.drawText(origin.x() + 10, origin.y() + 25 + ascent, heightLine);
    }
    if (view.CornerMark) {
        const QPoint mark = *view.CornerMark;
        painter.setPen(QPen(Qt::white, 1));
        painter.drawLine(mark.x(), mark.y(), mark.x() + 9, mark.y());
        painter.drawLine(mark.x(), mark.y(), mark.x(), mark.y() + 9);
    }
    painter.restore();
}

QImage ComposeView(const TViewContent& view) {
    QImage image(ClientSizeFor(view.Picture), QImage::Format_RGB32);
    if (image.isNull()) return image;  // no picture: the client area is 0 pixels high
    QPainter painter(&image);
    PaintView(painter, view, image.rect());
    return image;
}

QRegion SelectionChange(const TRect& before, const TRect& after, QPoint visibleOrigin) {
    QRegion region(TextBoxAt(visibleOrigin));
    for (const TRect& selection : {before, after}) {
        const QRect outer = FrameReach(selection);
        const QRect inner = FrameOf(selection).adjusted(2, 2, -1, -1);
        region += inner.isValid() ? QRegion(outer).subtracted(inner) : QRegion(outer);
    }
    return region;
}

std::pair<QString, QString> SelectionSizeText(const TRect& selection) {
    return {QStringLiteral("Selection width: %1").arg(selection.Width()),
            QStringLiteral("             height: %1").arg(selection.Height())};
}

QImage ZoomArea(const TViewContent& view, int x, int y) {
    QImage area(ZoomAreaWidth, ZoomAreaHeight, QImage::Format_RGB32);
    area.fill(MidGrey);
    QPainter painter(&area);
    const QPoint origin(x - 39, y - 29);
    painter.translate(-origin);
    PaintView(painter, view, QRect(origin, area.size()));
    return area;
}
