#pragma once
// The Deform commands on the working picture and its selection, shared by the main window
// and corvalux-batch. Each leaves the whole (new) picture selected. With a progress callback
// each reports one rising progress, and a cancel throws ECancelled with the picture and
// selection as they were.
#include "image/Bitmap.h"
#include "geometry/Geometry.h"
#include "image/Progress.h"
#include "image/Rect.h"

enum class Interpolation { None, Pseudo };

// Nearest-pixel scaling to newWidth x newHeight; with Pseudo, a 3 x 3 box mean follows when
// the picture got wider or higher.
void ResizeCommand(Bitmap& picture, TRect& selection, int newWidth, int newHeight, Interpolation smoothing);
// The same, with "got wider or higher" judged against `shown` instead: the resize window
// decides by the size it showed, even if the picture has changed since.
struct TPictureSize {
    int Width, Height;
};
void ResizeCommand(Bitmap& picture, TRect& selection, int newWidth, int newHeight, Interpolation smoothing,
                   TPictureSize shown, const ProgressCallback& progress = {});

// Keeps only the selection; parts of it outside the picture become black.
void CropCommand(Bitmap& picture, TRect& selection, const ProgressCallback& progress = {});

void RotateCommand(Bitmap& picture, TRect& selection, TurnDirection direction, const ProgressCallback& progress = {});
