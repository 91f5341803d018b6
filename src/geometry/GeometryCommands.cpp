#include "GeometryCommands.h"

#include "Neighbourhood.h"
#include "Region.h"

namespace {
void SelectAll(const Bitmap& picture, TRect& selection) {
    selection = {0, 0, picture.Width() - 1, picture.Height() - 1};
}
}  // namespace

void ResizeCommand(Bitmap& picture, TRect& selection, int newWidth, int newHeight, Interpolation smoothing) {
    ResizeCommand(picture, selection, newWidth, newHeight, smoothing, {picture.Width(), picture.Height()});
}

void ResizeCommand(Bitmap& picture, TRect& selection, int newWidth, int newHeight, Interpolation smoothing,
                   TPictureSize shown, const ProgressCallback& progress) {
    picture = ResizeNearest(picture, newWidth, newHeight, progress);
    SelectAll(picture, selection);
    // Enlarging repeats pixels in blocks; the box mean softens their edges.
    if (smoothing == Interpolation::Pseudo && (shown.Width < newWidth || shown.Height < newHeight))
        Mean(picture, selection, 1, progress);
}

void CropCommand(Bitmap& picture, TRect& selection) {
    picture = CopyRegion(picture, selection);
    SelectAll(picture, selection);
}

void RotateCommand(Bitmap& picture, TRect& selection, TurnDirection direction) {
    picture = RotatePicture(picture, direction);
    SelectAll(picture, selection);
}
