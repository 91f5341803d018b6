#pragma once
// Composing what the main window's client area shows.
#include <QFont>
#include <QImage>

#include "Bitmap.h"
#include "Rect.h"

// The smallest client width, so that the menu and the selection text always fit.
constexpr int MinimumClientWidth = 260;

// The client size for a picture: at least 260 wide, exactly as high as the picture.
QSize ClientSizeFor(const Bitmap& picture);

// The window font: 8 points, 11 pixels high, as the selection text is measured for it.
QFont WindowFont();

// Mid grey, the picture unscaled at the origin, the selection frame (black 3 px, then
// yellow dotted 1 px) and the two lines of selection size in white bold.
// `selection` must already be normalised.
QImage ComposeView(const Bitmap& picture, const TRect& selection);

// The 80 x 60 area of `view` centred on (x, y) (columns x-39..x+40, rows y-29..y+30),
// mid grey where it lies outside the view.
QImage ZoomArea(const QImage& view, int x, int y);

constexpr int ZoomAreaWidth = 80, ZoomAreaHeight = 60;
