#pragma once
// Moving pictures between the core's Bitmap and Qt's QImage.
#include <QImage>

#include "Bitmap.h"

// A QImage that shares the bitmap's rows (valid while the bitmap is unchanged).
QImage ImageView(const Bitmap& picture);

// A 24-bit copy of any QImage, transparency composited over white. Throws EInvalidGraphic for a null image or one past
// the bound.
Bitmap BitmapFromImage(const QImage& image);
