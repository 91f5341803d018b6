#include "geometry/GeometryCommands.h"

#include "filters/FilterFrame.h"
#include "filters/Neighbourhood.h"
#include "filters/Parallel.h"
#include "image/Region.h"

void ResizeCommand(Bitmap& picture, TRect& selection, int newWidth, int newHeight, Interpolation smoothing) {
    ResizeCommand(picture, selection, newWidth, newHeight, smoothing, {picture.Width(), picture.Height()});
}

void ResizeCommand(Bitmap& picture, TRect& selection, int newWidth, int newHeight, Interpolation smoothing,
                   TPictureSize shown, const ProgressCallback& progress) {
    // Enlarging repeats pixels in blocks; the box mean softens their edges.
    const bool smooth = smoothing == Interpolation::Pseudo && (shown.Width < newWidth || shown.Height < newHeight);
    StepProgress steps(progress, smooth ? 2 : 1);
    Bitmap resized = ResizeNearest(picture, newWidth, newHeight, steps.Step(0));
    steps.Finish(0);
    TRect all = WholePicture(resized);
    if (smooth) {
        Mean(resized, all, 1, steps.Step(1));
        steps.Finish(1);
    }
    picture = std::move(resized);
    selection = all;
}

void CropCommand(Bitmap& picture, TRect& selection, const ProgressCallback& progress) {
    // One copy, as fast as memory allows: a report before it and one after are prompt enough.
    ProgressMeter meter(progress, 2);
    if (!meter.Advance(1)) throw ECancelled();
    Bitmap cropped = CopyRegion(picture, selection);
    if (!meter.Advance(1)) throw ECancelled();
    picture = std::move(cropped);
    selection = WholePicture(picture);
}

void RotateCommand(Bitmap& picture, TRect& selection, TurnDirection direction, const ProgressCallback& progress) {
    picture = RotatePicture(picture, direction, progress);
    selection = WholePicture(picture);
}
