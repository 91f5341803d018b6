// Writes the worst picture for the custom filter as a BMP file: every one of the 2^24 colours,
// each at least once, scattered so that neighbours differ, at the requested size (6000 x 4000,
// 24 megapixels, by default; at least 4096 x 4096 pixels are needed to hold them all).
//
//   corvalux-all-colours out.bmp [WIDTH HEIGHT]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "image/Bitmap.h"
#include "image/PictureFile.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s OUT.bmp [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    const int width = argc == 4 ? std::atoi(argv[2]) : 6000, height = argc == 4 ? std::atoi(argv[3]) : 4000;
    constexpr std::int64_t Colours = std::int64_t(1) << 24;
    if (width <= 0 || height <= 0 || std::int64_t(width) * height < Colours) {
        std::fprintf(stderr, "%dx%d cannot hold all 2^24 colours\n", width, height);
        return 2;
    }
    try {
        Bitmap picture(width, height);
        std::int64_t i = 0;
        for (int y = 0; y < height; ++y) {
            std::uint8_t* p = picture.Row(y);
            for (int x = 0; x < width; ++x, ++i, p += 3) {
                // An odd multiplier is a bijection modulo 2^24: pixel i takes colour i * m, so
                // the first 2^24 pixels hold every colour once, and the rest repeat them.
                const std::uint32_t colour = std::uint32_t((i % Colours) * 0x9E3779) & 0xFFFFFF;
                p[0] = std::uint8_t(colour), p[1] = std::uint8_t(colour >> 8), p[2] = std::uint8_t(colour >> 16);
            }
        }
        SavePicture(argv[1], picture, FormatOfName(argv[1]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
