#include <algorithm>
#include <cstring>
#include <vector>

#include "common/Errors.h"
#include "geometry/Geometry.h"
#include "filters/Parallel.h"

// Target pixel x samples the source at the centre of its own footprint:
// floor((2x + 1) * size / (2 * newSize)). The plainer floor(x * size / newSize) samples the
// footprint's left edge, which shifts a reduced picture by up to a pixel towards the top-left;
// sampling the centre keeps the error within half a source pixel on both sides, and a whole
// enlargement still repeats every source pixel equally often.
int NearestSource(int x, int size, int newSize) {
    return int((2 * std::int64_t(x) + 1) * size / (2 * std::int64_t(newSize)));
}

Bitmap ResizeNearest(const Bitmap& picture, int newWidth, int newHeight, const ProgressCallback& progress) {
    if (picture.Empty()) return Bitmap(newWidth, newHeight);
    Bitmap result(newWidth, newHeight, Bitmap::Overwritten{});  // every row is written below
    if (result.Empty()) return result;
    // Byte offsets of each target column's source pixel, computed once for all rows.
    std::vector<std::size_t> columns(static_cast<std::size_t>(newWidth));
    for (int x = 0; x < newWidth; ++x) columns[x] = std::size_t(NearestSource(x, picture.Width(), newWidth)) * 3;
    // Columns are in source order, so the ones whose source pixel has a byte after it in the
    // row come first.
    const std::size_t wideColumns =
        std::size_t(std::lower_bound(columns.begin(), columns.end(), picture.RowBytes() - 3) - columns.begin());
    ProgressMeter meter(progress, newHeight);
    ParallelBands(
        newHeight, BandRows,
        [&](std::int64_t first, std::int64_t end) {
            int previousSource = -1;
            for (int y = int(first); y < end; ++y) {
                const int sourceRow = NearestSource(y, picture.Height(), newHeight);
                std::uint8_t* out = result.Row(y);
                if (sourceRow == previousSource) {  // an enlarged row repeats the one above
                    std::memcpy(out, result.Row(y - 1), result.RowBytes());
                    continue;
                }
                previousSource = sourceRow;
                const std::uint8_t* in = picture.Row(sourceRow);
                // Each pixel moves as one 4-byte copy whose fourth byte the next pixel overwrites.
                // The columns reading the source's last pixel, and the row's last pixel, move as 3
                // bytes, so nothing is read past the source row or written past the target row.
                std::size_t x = 0;
                for (const std::size_t end = std::min(wideColumns, columns.size() - 1); x < end; ++x, out += 3)
                    std::memcpy(out, in + columns[x], 4);
                for (; x < columns.size(); ++x, out += 3) std::memcpy(out, in + columns[x], 3);
            }
        },
        progress ? &meter : nullptr);
    return result;
}
