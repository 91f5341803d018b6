#include "View.h"

#include <QPainter>
#include <algorithm>

#include "QtPicture.h"

namespace {
const QColor MidGrey(128, 128, 128);
}

QSize ClientSizeFor(const Bitmap& picture) {
    return {std::max(picture.Width(), MinimumClientWidth), picture.Height()};
}

QFont WindowFont() {
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(11);
    return font;
}

QImage ComposeView(const Bitmap& picture, const TRect& selection) {
    const QSize size = ClientSizeFor(picture);
    QImage view(size, QImage::Format_RGB32);
    if (view.isNull()) return view;  // no picture: the client area is 0 pixels high
    view.fill(MidGrey);
    QPainter painter(&view);
    painter.drawImage(0, 0, ImageView(picture));

    // The frame runs along the selection's border pixels, Left..Right and Top..Bottom.
    const QRect frame(selection.Left, selection.Top, int(selection.Width() - 1),
                      int(selection.Height() - 1));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(frame);
    painter.setPen(QPen(QColor(255, 255, 0), 1, Qt::DotLine));
    painter.drawRect(frame);

    QFont font = WindowFont();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int ascent = painter.fontMetrics().ascent();
    painter.drawText(10, 10 + ascent, QStringLiteral("Selection width: %1").arg(selection.Width()));
    painter.drawText(10, 25 + ascent,
                     QStringLiteral("             height: %1").arg(selection.Height()));
    return view;
}

QImage ZoomArea(const QImage& view, int x, int y) {
    QImage area(ZoomAreaWidth, ZoomAreaHeight, QImage::Format_RGB32);
    area.fill(MidGrey);
    if (!view.isNull()) {
        QPainter painter(&area);
        painter.drawImage(QPoint(0, 0), view, QRect(x - 39, y - 29, ZoomAreaWidth, ZoomAreaHeight));
    }
    return area;
}
