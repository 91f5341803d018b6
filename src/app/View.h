#pragma once
// Composing what the main window's client area shows. One routine paints any part of it, so
// that the window, the zoom window and the tests see the same pixels, while the window
// repaints only what is on screen and what changed.
#include <QColorTransform>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>
#include <optional>
#include <utility>

#include "image/Bitmap.h"
#include "image/Rect.h"

// The smallest client width, so that the menu and the selection text always fit.
constexpr int MinimumClientWidth = 260;

// The client size for a picture: at least 260 wide, exactly as high as the picture.
QSize ClientSizeFor(const Bitmap& picture);

// The window font: 8 points, 11 pixels high, as the selection text is measured for it.
QFont WindowFont();

// What the client area shows: mid grey, the picture unscaled at the origin, the selection
// frame (black 3 px, then yellow dotted 1 px), the two lines of selection size in white
// bold, and the corner mark of a press, if any. The picture is shown in its profile's colours. `Selection` must already be normalised.
// The text keeps to the visible part of a view larger than the window: it sits 10 pixels in
// from the visible part's top-left corner, `VisibleOrigin` in client coordinates.
struct TViewContent {
    const Bitmap& Picture;
    TRect Selection;
    std::optional<QPoint> CornerMark;
    QPoint VisibleOrigin{0, 0};
    // Turns the stored numbers into screen colours; null shows them as they are.
    const QColorTransform* Screen = nullptr;
};

// Paints `area` (client coordinates) of the view with `painter`, whose origin is the
// client area's; nothing outside the client size is touched.
void PaintView(QPainter& painter, const TViewContent& view, const QRect& area);

// The whole client area as an image (null when there is no picture).
QImage ComposeView(const TViewContent& view);

// The part of the client area that changes when the selection frame and text go from
// `before` to `after`: the borders of both frames and the text lines.
QRegion SelectionChange(const TRect& before, const TRect& after, QPoint visibleOrigin = {0, 0});

// Every pixel the frame's pens may touch: one either side of the border, and for a frame one
// pixel across, the mitre spikes too (at most the pen width times the mitre limit).
QRect FrameReach(const TRect& selection);

// The box that holds the two text lines, generous so that any width of the numbers fits.
QRect TextBoxAt(QPoint visibleOrigin);

// The two lines of selection size the view shows, the number of pixels across and down,
// borders included.
std::pair<QString, QString> SelectionSizeText(const TRect& selection);

// The 80 x 60 area of the view centred on (x, y) (columns x-39..x+40, rows y-29..y+30),
// mid grey where it lies outside the client area.
QImage ZoomArea(const TViewContent& view, int x, int y);

constexpr int ZoomAreaWidth = 80, ZoomAreaHeight = 60;
