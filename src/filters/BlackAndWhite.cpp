#include "filters/PointFilters.h"

#include "filters/FilterFrame.h"

void BlackAndWhite(Bitmap& picture, const TRect& selection, const ProgressCallback& progress) {
    RunCancellable(picture, progress, VisibleRows(picture, selection), [&](Bitmap& target, ProgressMeter* meter) {
        ApplyPointRule(
            target, selection,
            [](std::uint8_t* p) {
                const std::uint8_t v = PixelGray(p) > 127 ? 255 : 0;
                p[0] = p[1] = p[2] = v;
            },
            meter);
    });
}
