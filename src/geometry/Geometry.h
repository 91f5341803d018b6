#pragma once
// Reshaping the whole picture: nearest-pixel scaling and quarter turns.
#include "Bitmap.h"

// Scales to newWidth x newHeight, each target pixel taking one source pixel, no blending.
Bitmap ResizeNearest(const Bitmap& picture, int newWidth, int newHeight);

// The source column (or row) that target column x takes when `size` becomes `newSize`.
int NearestSource(int x, int size, int newSize);

enum class TurnDirection { Left, Right };  // counter-clockwise, clockwise

// A quarter turn: width and height change places. Turning right, old pixel (x, y) goes to
// (H - 1 - y, x); turning left, to (y, W - 1 - x).
Bitmap RotatePicture(const Bitmap& picture, TurnDirection direction);
