#pragma once
// Copying a rectangle out of a picture and drawing a picture back into one.
// Parts of the rectangle outside the picture read as black and are never written.
#include "Bitmap.h"
#include "Rect.h"

// The pixels of `area` (inclusive corners, already normalised) as a picture of its size.
Bitmap CopyRegion(const Bitmap& source, const TRect& area);

// Draws `region` onto `target` with its top-left corner at (left, top), clipped to `target`.
void DrawRegion(Bitmap& target, const Bitmap& region, int left, int top);
