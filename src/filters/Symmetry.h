#pragma once
// Mirror and Reflection: whole-picture effects that ignore the selection and leave the whole
// picture selected. Both run in parallel bands of rows; with a progress callback they report
// rows done, and a cancel throws ECancelled with the picture and selection as they were.
#include "image/Bitmap.h"
#include "filters/FilterOptions.h"
#include "image/Progress.h"
#include "image/Rect.h"

// Flips the picture about its vertical (Horizontal) or horizontal (Vertical) centre line.
void Mirror(Bitmap& picture, TRect& selection, MirrorAxis axis, const ProgressCallback& progress = {});

// Each pixel and its mirror partner both become their channel-wise mean, truncating: the
// picture becomes symmetric about the centre line.
void Reflection(Bitmap& picture, TRect& selection, MirrorAxis axis, const ProgressCallback& progress = {});
