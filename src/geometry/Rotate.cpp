#include <algorithm>

#include "Geometry.h"

Bitmap RotatePicture(const Bitmap& picture, TurnDirection direction) {
    const int w = picture.Width(), h = picture.Height();
    Bitmap result(h, w);
    // Work in square tiles so that the column walk through the source stays in cache.
    constexpr int Tile = 64;
    const std::ptrdiff_t rowBytes = std::ptrdiff_t(picture.RowBytes());
    for (int tileY = 0; tileY < w; tileY += Tile) {
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
                for (int nx = tileX; nx < endX; ++nx, in += step, out += 3) {
                    out[0] = in[0];
                    out[1] = in[1];
                    out[2] = in[2];
                }
            }
        }
    }
    return result;
}
