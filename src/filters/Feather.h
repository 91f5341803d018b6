#pragma once
// Feather: an elliptic fade of the selection towards a colour.
#include "image/Bitmap.h"
#include "image/PackedColor.h"
#include "image/Progress.h"
#include "image/Rect.h"

// With cx = W div 2, cy = H div 2 and d = sqrt((x - cx)^2 / cx^2 + (y - cy)^2 / cy^2): outside
// the inscribed ellipse (d > 1) the pixel takes the colour, inside it moves linearly from its
// own value at the centre to the colour at the ellipse. On a selection one pixel wide or high
// the flat axis contributes nothing to d. Runs in parallel bands of rows; with a callback it
// reports rows done, and a cancel throws ECancelled with the picture as it was.
void Feather(Bitmap& picture, const TRect& selection, PackedColor color, const ProgressCallback& progress = {});
