#include "BenchPictures.h"

#include <cmath>
#include <cstdint>
#include <random>

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

const Bitmap& Random24M() {
    static const Bitmap picture = [] {
        Bitmap p(BenchWidth, BenchHeight);
        std::mt19937 random(1);
        for (int y = 0; y < p.Height(); ++y)
            for (std::size_t i = 0; i < p.RowBytes(); i += 4) {
                const std::uint32_t bits = random();
                for (std::size_t k = 0; k < 4 && i + k < p.RowBytes(); ++k)
                    p.Row(y)[i + k] = std::uint8_t(bits >> (8 * k));
            }
        return p;
    }();
    return picture;
}
