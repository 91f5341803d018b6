#include "filters/PointFilters.h"

#include "filters/FilterFrame.h"

void Grayscale(Bitmap& picture, const TRect& selection, const ProgressCallback& progress) {
    RunCancellable(picture, progress, VisibleRows(picture, selection), [&](Bitmap& target, ProgressMeter* meter) {
        ApplyPointRule(
            target, selection, [](std::uint8_t* p) { p[0] = p[1] = p[2] = PixelGray(p); }, meter);
    });
}
