#pragma once
// Selections of a picture, copying a rectangle out of it and drawing a picture back into one.
// Parts of the rectangle outside the picture read as black and are never written.
#include "Bitmap.h"
#include "Rect.h"

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

// The pixels of `area` (inclusive corners, already normalised) as a picture of its size.
Bitmap CopyRegion(const Bitmap& source, const TRect& area);

// Draws `region` onto `target` with its top-left corner at (left, top), clipped to `target`.
void DrawRegion(Bitmap& target, const Bitmap& region, int left, int top);
