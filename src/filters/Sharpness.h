#pragma once
// Sharpness: each result reads the pixels around it as they were before the pass.
#include <cstdint>

#include "image/Bitmap.h"
#include "filters/FilterOptions.h"
#include "image/Progress.h"
#include "image/Rect.h"

// Sharpness runs in parallel bands of rows. Given a progress callback it reports rows done and
// works on a copy of the picture, so that a cancel (ECancelled) leaves the picture as it was.

// Pushes each interior pixel away from (Increase) or towards (Decrease) the mean grey of its
// eight neighbours; the selection's outermost rows and columns stay as they are.
void Sharpness(Bitmap& picture, const TRect& selection, SharpnessStep step, const ProgressCallback& progress = {});
