// PNG files through the loader. A picture that decodes must come back unchanged through our
// own encoder, since PNG is lossless.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/Errors.h"
#include "FuzzSupport.h"
#include "image/Png.h"

namespace {
// The size IHDR declares, read straight from the bytes (signature, length, "IHDR", width,
// height); false when the file does not start that way.
bool DeclaredSize(const std::uint8_t* data, std::size_t size, long long& width, long long& height) {
    static const std::uint8_t start[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    if (size < 24 || std::memcmp(data, start, sizeof start) != 0) return false;
    auto big = [&](std::size_t at) {
        return (long long)data[at] << 24 | (long long)data[at + 1] << 16 | (long long)data[at + 2] << 8 | data[at + 3];
    };
    width = big(16);
    height = big(20);
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    long long width = 0, height = 0;
    if (DeclaredSize(data, size, width, height) && CostlyPicture(width, height)) return 0;
    try {
        PictureMetadata metadata;
        const Bitmap picture = DecodePng(data, size, &metadata);
        FUZZ_CHECK(!picture.Empty(), "a decoded PNG has pixels");
        FUZZ_CHECK(picture.Width() == width && picture.Height() == height, "decoded size is the declared size");
        const std::vector<std::uint8_t> again = EncodePng(picture, metadata);
        FUZZ_CHECK(DecodePng(again.data(), again.size()) == picture, "PNG round trip");
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
