#pragma once
// For the decoders whose library can read a file's size without decoding it (HEIF, JPEG XL):
// files declaring a costly picture are skipped, and a picture that decodes must have the
// declared size.
#include <cstddef>
#include <cstdint>

#include "common/Errors.h"
#include "FuzzSupport.h"

// `declare(data, size, width, height)` reads the size, false when it cannot; `decode(data,
// size)` gives the picture and may check more.
template <typename Declare, typename Decode>
void FuzzAgainstDeclaredSize(const std::uint8_t* data, std::size_t size, Declare declare, Decode decode) {
    long long width = 0, height = 0;
    const bool declared = declare(data, size, width, height);
    if (declared && CostlyPicture(width, height)) return;
    try {
        const Bitmap picture = decode(data, size);
        FUZZ_CHECK(declared && picture.Width() == width && picture.Height() == height,
                   "decoded size is the declared size");
    } catch (const EInvalidGraphic&) {
    }
}
