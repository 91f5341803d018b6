#include "filters/Symmetry.h"

#include <cstdint>
#include <vector>

#include "filters/FilterFrame.h"
#include "filters/Parallel.h"
#include "filters/RowReversal.h"

// Works through row pointers; a pixel that is its own partner (the middle column or row of
// an odd size) keeps its value.

void Reflection(Bitmap& picture, TRect& selection, MirrorAxis axis, const ProgressCallback& progress) {
    const int height = picture.Height();
    const bool horizontal = axis == MirrorAxis::Horizontal;
    // Both get the mean; a loop over bytes that the compiler vectorises.
    auto average = [](std::uint8_t* a, std::uint8_t* b, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i) a[i] = b[i] = std::uint8_t((a[i] + b[i]) / 2);
    };
    RunCancellable(picture, progress, horizontal ? height : height / 2, [&](Bitmap& target, ProgressMeter* meter) {
        const int width = target.Width();
        const std::size_t rowBytes = target.RowBytes();
        if (horizontal) {
            // Each pixel and its partner both become their mean: the row averaged with its
            // mirror image, byte by byte.
            if (width > 0)
                ParallelBands(
                    height, BandRows,
                    [&](std::int64_t first, std::int64_t end) {
                        RowCopy copy(rowBytes);
                        std::vector<std::uint8_t> mirrored(rowBytes);
                        for (int y = int(first); y < end; ++y) {
                            // The row is read before it is written, and rows lie end to end,
                            // so every row but the last can be read one byte past its end.
                            const std::uint8_t* row = y + 1 < height ? target.Row(y) : copy.Of(target.Row(y));
                            ReversePixels(row, width, mirrored.data());
                            average(target.Row(y), mirrored.data(), rowBytes);
                        }
                    },
                    meter);
        } else {
            ParallelBands(
                height / 2, BandRows,
                [&](std::int64_t first, std::int64_t end) {
                    for (int y = int(first); y < end; ++y) average(target.Row(y), target.Row(height - 1 - y), rowBytes);
                },
                meter);
        }
    });
    selection = WholePicture(picture);
}
