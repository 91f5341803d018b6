#pragma once
// Moving pictures between the core's Bitmap and Qt's QImage.
#include <QImage>
#include <QPointF>
#include <QtMath>

#include "image/Bitmap.h"

// A QImage that shares the bitmap's rows (valid while the bitmap is unchanged).
QImage ImageView(const Bitmap& picture);

// The picture pixel under a pointer position: the one whose square holds it. Rounding would
// take the next pixel from the middle of this one on, which at fractional scales is where the
// pointer usually is.
inline QPoint PixelUnder(const QPointF& position) { return {qFloor(position.x()), qFloor(position.y())}; }

// A 24-bit copy of any QImage, transparency composited over white. Throws EInvalidGraphic for a null image or one past
// the bound.
Bitmap BitmapFromImage(const QImage& image);
