#include <algorithm>
#include <cstring>

#include "geometry/Geometry.h"
#include "filters/Parallel.h"

Bitmap RotatePicture(const Bitmap& picture, TurnDirection direction, const ProgressCallback& progress) {
    const int w = picture.Width(), h = picture.Height();
    Bitmap result(h, w, Bitmap::Overwritten{});
    // Work in square tiles so that the column walk through the source stays in cache.
    constexpr int Tile = 64;
    const std::ptrdiff_t rowBytes = std::ptrdiff_t(picture.RowBytes());
    // Bands of Tile new rows run in parallel: each writes only its own rows.
    ProgressMeter meter(progress, w);
    ParallelBands(
        w, Tile,
        [&](std::int64_t bandFirst, std::int64_t) {
            const int tileY = int(bandFirst);
            for (int tileX = 0; tileX < h; tileX += Tile) {
                const int endY = std::min(tileY + Tile, w), endX = std::min(tileX + Tile, h);
                for (int ny = tileY; ny < endY; ++ny) {
                    // New row ny is old column ny (right) or W - 1 - ny (left), walked upwards
                    // (right) or downwards (left).
                    const std::uint8_t* in;
                    std::ptrdiff_t step;
                    if (direction == TurnDirection::Right) {
                        in = picture.Pixel(ny, h - 1 - tileX);
                        step = -rowBytes;
                    } else {
                        in = picture.Pixel(w - 1 - ny, tileX);
                        step = rowBytes;
                    }
                    std::uint8_t* out = result.Pixel(tileX, ny);
                    // Each pixel moves as one 4-byte copy whose fourth byte the next pixel's copy
                    // overwrites (within the tile, or in the next tile along the row, done later).
                    // A row's last pixel moves as 3 bytes, so as not to touch the next row; so do
                    // the first and last new rows, which read the old picture's last pixel.
                    const bool edgeRow = ny == 0 || ny == w - 1;
                    const int wideEnd = edgeRow ? tileX : endX == h ? endX - 1 : endX;
                    int nx = tileX;
                    for (; nx < wideEnd; ++nx, in += step, out += 3) std::memcpy(out, in, 4);
                    for (; nx < endX; ++nx, in += step, out += 3) std::memcpy(out, in, 3);
                }
            }
        },
        progress ? &meter : nullptr);
    return result;
}
