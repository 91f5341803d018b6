#include "filters/PointFilters.h"

#include "filters/FilterFrame.h"

void SwapChannels(Bitmap& picture, const TRect& selection, const ProgressCallback& progress) {
    RunCancellable(picture, progress, VisibleRows(picture, selection), [&](Bitmap& target, ProgressMeter* meter) {
        ApplyPointRule(
            target, selection,
            [](std::uint8_t* p) {
                const std::uint8_t blue = p[0], green = p[1], red = p[2];
                p[2] = blue;
                p[1] = red;
                p[0] = green;
            },
            meter);
    });
}
