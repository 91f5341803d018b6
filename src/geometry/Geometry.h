#pragma once
// Reshaping the whole picture: nearest-pixel scaling and quarter turns.
#include "image/Bitmap.h"
#include "image/Progress.h"

// Scales to newWidth x newHeight, each target pixel taking one source pixel, no blending. Runs
// in parallel bands of rows; with a callback it reports target rows done, and a cancel throws
// ECancelled (the picture is only read).
Bitmap ResizeNearest(const Bitmap& picture, int newWidth, int newHeight, const ProgressCallback& progress = {});

// The source column (or row) that target column x takes when `size` becomes `newSize`.
int NearestSource(int x, int size, int newSize);

enum class TurnDirection { Left, Right };  // counter-clockwise, clockwise

// A quarter turn: width and height change places. Turning right, old pixel (x, y) goes to
// (H - 1 - y, x); turning left, to (y, W - 1 - x). Runs in parallel bands of rows; with a
// callback it reports new rows done, and a cancel throws ECancelled (the picture is only read).
Bitmap RotatePicture(const Bitmap& picture, TurnDirection direction, const ProgressCallback& progress = {});
