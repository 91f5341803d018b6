#include "retouch/Tools.h"

#include <cmath>

#include "filters/FilterFrame.h"

namespace {
// Calls `dab(pixel, dist)` for every pixel of the picture within `size` of (x, y), rim
// included. The distance is worked out in extended precision and kept as a double.
template <class Dab>
void ForDisc(Bitmap& picture, int x, int y, int size, Dab dab) {
    for (int px = x - size; px <= x + size; ++px) {
        for (int py = y - size; py <= y + size; ++py) {
            const long dx = px - x, dy = py - y;
            const double dist = double(std::sqrt(static_cast<long double>(dx * dx + dy * dy)));
            if (dist > size || !picture.Contains(px, py)) continue;
            dab(picture.Pixel(px, py), dist);
        }
    }
}
}  // namespace

void AirbrushAt(Bitmap& picture, int x, int y, int size, int opacityPosition, int opacityMaximum, PackedColor color) {
    if (size <= 0 || opacityMaximum <= 0) return;
    const double opacity = static_cast<long double>(opacityPosition) / opacityMaximum;
    const std::uint8_t target[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
    ForDisc(picture, x, y, size, [&](std::uint8_t* pixel, double dist) {
        const double w = (1.0L - dist / static_cast<long double>(size)) * opacity;
        const double m = 1.0L - static_cast<long double>(w);
        for (int c = 0; c < 3; ++c)
            pixel[c] = std::uint8_t(
                std::trunc(static_cast<long double>(w) * target[c] + static_cast<long double>(m) * pixel[c]));
    });
}

void ShadeAt(Bitmap& picture, int x, int y, int size, int amount) {
    if (size <= 0) return;
    ForDisc(picture, x, y, size, [&](std::uint8_t* pixel, double dist) {
        const long double a = (1.0L - dist / static_cast<long double>(size)) * amount;
        for (int c = 0; c < 3; ++c) pixel[c] = ClampByte(std::int32_t(std::trunc(pixel[c] + a)));
    });
}

std::optional<PackedColor> PickColor(const Bitmap& picture, int x, int y) {
    if (!picture.Contains(x, y)) return std::nullopt;
    return picture.GetColor(x, y);
}
