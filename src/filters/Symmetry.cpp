#include "filters/Symmetry.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "filters/FilterFrame.h"
#include "filters/Parallel.h"

// Both work through row pointers; a pixel that is its own partner (the middle column or row of
// an odd size) keeps its value either way.

namespace {
// `out` gets the pixels of `in` in reverse order. Each pixel moves as one 4-byte copy whose
// fourth byte the next pixel's copy overwrites, so `in` must be readable one byte past its
// last pixel; the last pixel written (in's first) moves alone, so nothing is written past the
// end of `out`.
void ReversePixels(const std::uint8_t* in, int width, std::uint8_t* out) {
    const std::uint8_t* from = in + 3 * std::size_t(width - 1);
    for (int x = 0; x < width - 1; ++x, from -= 3, out += 3) std::memcpy(out, from, 4);
    std::memcpy(out, in, 3);
}

// A copy of one row with a spare byte after it, for ReversePixels.
class RowCopy {
public:
    explicit RowCopy(std::size_t rowBytes) : bytes_(rowBytes + 1) {}
    const std::uint8_t* Of(const std::uint8_t* row) {
        std::memcpy(bytes_.data(), row, bytes_.size() - 1);
        return bytes_.data();
    }

private:
    std::vector<std::uint8_t> bytes_;
};
}  // namespace

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
