#pragma once
// Selections of a picture, copying a rectangle out of it and drawing a picture back into one.
// Parts of the rectangle outside the picture read as black and are never written.
#include "image/Bitmap.h"
#include "image/Rect.h"

// The selection covering the whole picture: (0, 0, width - 1, height - 1).
inline TRect WholePicture(const Bitmap& picture) { return {0, 0, picture.Width() - 1, picture.Height() - 1}; }

// Whether a drag from (Left, Top) to (Right, Bottom) selects nothing: it is under two pixels
// wide or high, or went up or to the left (tested on the corners as dragged).
inline bool DragSelectsNothing(const TRect& drag) { return drag.Width() < 2 || drag.Height() < 2; }

// The selection a drag leaves: the dragged rectangle, or the whole picture when the drag
// selects nothing.
inline TRect SelectionAfterDrag(const Bitmap& picture, const TRect& drag) {
    return DragSelectsNothing(drag) ? WholePicture(picture) : drag;
}

// The selection a key leaves: moved by (dx, dy), or, when `resize`, with its right and bottom
// edges moved instead. A step never takes an edge past the picture (an edge already out in
// the grey strip, as a drag may leave it, can only come back), and a resized selection stays
// at least 2 x 2, so that it still selects something.
TRect SelectionByKey(const Bitmap& picture, TRect selection, int dx, int dy, bool resize);

// The pixels of `area` (inclusive corners, already normalised) as a picture of its size.
Bitmap CopyRegion(const Bitmap& source, const TRect& area);

// Draws `region` onto `target` with its top-left corner at (left, top), clipped to `target`.
void DrawRegion(Bitmap& target, const Bitmap& region, int left, int top);
