#pragma once
// Mirror and Reflection: whole-picture effects that ignore the selection and leave the whole
// picture selected.
#include "Bitmap.h"
#include "FilterOptions.h"
#include "Rect.h"

// Flips the picture about its vertical (Horizontal) or horizontal (Vertical) centre line.
void Mirror(Bitmap& picture, TRect& selection, MirrorAxis axis);

// Each pixel and its mirror partner both become their channel-wise mean, truncating: the
// picture becomes symmetric about the centre line.
void Reflection(Bitmap& picture, TRect& selection, MirrorAxis axis);
