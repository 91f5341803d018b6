#pragma once
// Turning stored pixels upright by an EXIF or TIFF orientation value.
#include "image/Bitmap.h"
#include "image/Progress.h"

// How a loader treats the orientation a file gives.
enum class OrientationRule { Upright, AsStored };

// The picture as a viewer shows it: orientation 1 (or any value outside 2 to 8) is the
// stored picture; 2 to 4 mirror or half-turn it; 5 to 8 also exchange width and height.
// `progress` hears of each row turned; a cancel throws ECancelled.
Bitmap UprightPicture(Bitmap stored, int orientation, const ProgressCallback& progress = {});
