#include <cstring>
#include <vector>

#include "Errors.h"
#include "Geometry.h"

// Target pixel x samples the source at the centre of its own footprint:
// floor((2x + 1) * size / (2 * newSize)). The plainer floor(x * size / newSize) samples the
// footprint's left edge, which shifts a reduced picture by up to a pixel towards the top-left;
// sampling the centre keeps the error within half a source pixel on both sides, and a whole
// enlargement still repeats every source pixel equally often.
int NearestSource(int x, int size, int newSize) {
    return int((2 * std::int64_t(x) + 1) * size / (2 * std::int64_t(newSize)));
}

Bitmap ResizeNearest(const Bitmap& picture, int newWidth, int newHeight) {
    Bitmap result(newWidth, newHeight);
    if (picture.Empty() || result.Empty()) return result;
    // Byte offsets of each target column's source pixel, computed once for all rows.
    std::vector<std::size_t> columns(static_cast<std::size_t>(newWidth));
    for (int x = 0; x < newWidth; ++x) columns[x] = std::size_t(NearestSource(x, picture.Width(), newWidth)) * 3;
    int previousSource = -1;
    for (int y = 0; y < newHeight; ++y) {
        const int sourceRow = NearestSource(y, picture.Height(), newHeight);
        std::uint8_t* out = result.Row(y);
        if (sourceRow == previousSource) {  // an enlarged row repeats the one above
            std::memcpy(out, result.Row(y - 1), result.RowBytes());
            continue;
        }
        previousSource = sourceRow;
        const std::uint8_t* in = picture.Row(sourceRow);
        for (const std::size_t offset : columns) {
            out[0] = in[offset];
            out[1] = in[offset + 1];
            out[2] = in[offset + 2];
            out += 3;
        }
    }
    return result;
}
