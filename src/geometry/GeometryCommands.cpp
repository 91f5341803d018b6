#include "GeometryCommands.h"

#include "Neighbourhood.h"
#include "Region.h"

namespace {
void SelectAll(const Bitmap& picture, TRect& selection) {
    selection = {0, 0, picture.Width() - 1, picture.Height() - 1};
}
}  // namespace

void ResizeCommand(Bitmap& picture, TRect& selection, int newWidth, int newHeight, Interpolation smoothing) {
    const int oldWidth = picture.Width(), oldHeight = picture.Height();
    picture = ResizeNearest(picture, newWidth, newHeight);
    SelectAll(picture, selection);
    // Enlarging repeats pixels in blocks; the box mean softens their edges.
    if (smoothing == Interpolation::Pseudo && (oldWidth < newWidth || oldHeight < newHeight))
        Mean(picture, selection, 1);
}

void CropCommand(Bitmap& picture, TRect& selection) {
    picture = CopyRegion(picture, selection);
    SelectAll(picture, selection);
}

void RotateCommand(Bitmap& picture, TRect& selection, TurnDirection direction) {
    picture = RotatePicture(picture, direction);
    SelectAll(picture, selection);
}
