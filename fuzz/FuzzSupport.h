#pragma once
// What the fuzz targets share: a failed expectation is a finding, and the small test picture.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/Bitmap.h"

// A broken invariant stops the run like a crash, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition, what)                                                            \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", what, __FILE__, __LINE__); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// Decoded pictures larger than this are only decoded, not also re-encoded and compared,
// and steps that would make one are skipped: the fuzzer should spend its time on many
// small inputs, not on filling a few huge pictures. Anything past the program's own size
// bound still runs, since it must be refused before allocating.
constexpr std::int64_t FuzzPixelBudget = std::int64_t(1) << 22;
inline bool CostlyPicture(std::int64_t width, std::int64_t height) {
    return PictureSizeAllowed(width, height) && width * height > FuzzPixelBudget;
}

// 7 x 5 with no symmetry and every channel different, black and white included.
inline Bitmap SmallPicture() {
    Bitmap picture(7, 5);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            picture.SetColor(x, y,
                             PackColor(std::uint8_t(x * 42 + y), std::uint8_t(255 - y * 63 - x),
                                       std::uint8_t((x * y * 29 + 7) & 255)));
    picture.SetColor(0, 0, PackColor(0, 0, 0));
    picture.SetColor(6, 4, PackColor(255, 255, 255));
    return picture;
}
