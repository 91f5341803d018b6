#include "BenchPictures.h"

#include <cmath>
#include <cstdint>

const Bitmap& PhotoLike24M() {
    static const Bitmap picture = [] {
        Bitmap p(BenchWidth, BenchHeight);
        std::uint32_t seed = 0x12345678;
        for (int y = 0; y < BenchHeight; ++y) {
            std::uint8_t* q = p.Row(y);
            const double wave = std::sin(y * 0.004);
            for (int x = 0; x < BenchWidth; ++x, q += 3) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = int(seed >> 28) - 8;
                const double shade = 60 * std::sin(x * 0.003 + wave) * std::cos(y * 0.002);
                auto channel = [&](double base) {
                    const int v = int(base + shade) + noise;
                    return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
                };
                q[0] = channel(40 + 150.0 * y / BenchHeight);
                q[1] = channel(90 + 80.0 * x / BenchWidth);
                q[2] = channel(200 - 120.0 * x / BenchWidth);
            }
        }
        return p;
    }();
    return picture;
}
