#include "filters/Symmetry.h"

#include <algorithm>
#include <cstdint>

#include "filters/FilterFrame.h"
#include "filters/Parallel.h"
#include "filters/RowReversal.h"

// Works through row pointers; a pixel that is its own partner (the middle column or row of
// an odd size) keeps its value.

void Mirror(Bitmap& picture, TRect& selection, MirrorAxis axis, const ProgressCallback& progress) {
    const int height = picture.Height();
    const bool horizontal = axis == MirrorAxis::Horizontal;
    RunCancellable(picture, progress, horizontal ? height : height / 2, [&](Bitmap& target, ProgressMeter* meter) {
        const int width = target.Width();
        if (horizontal) {
            if (width > 0)
                ParallelBands(
                    height, BandRows,
                    [&](std::int64_t first, std::int64_t end) {
                        RowCopy copy(target.RowBytes());
                        for (int y = int(first); y < end; ++y)
                            ReversePixels(copy.Of(target.Row(y)), width, target.Row(y));
                    },
                    meter);
        } else {
            // Each band swaps its rows of the upper half with their partners.
            ParallelBands(
                height / 2, BandRows,
                [&](std::int64_t first, std::int64_t end) {
                    for (int y = int(first); y < end; ++y)
                        std::swap_ranges(target.Row(y), target.Row(y) + target.RowBytes(), target.Row(height - 1 - y));
                },
                meter);
        }
    });
    selection = WholePicture(picture);
}
