// Scanner transfers: the input as a block of exactly its size, handed over as a manager
// without memory functions does (a malloc'd handle), so that any read past its end is caught.
// Every helper of the TWAIN layer takes it: kind, size, decoding and painting. An image the
// layer can paint has the size it reports and paints whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "FuzzSupport.h"
#include "twain/Twain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TW_HANDLE dib = std::malloc(size);
    if (!dib) return 0;
    if (size != 0) std::memcpy(dib, data, size);
    const std::int64_t width = TWAIN_ImageWidth(dib);
    const std::int64_t height = std::abs(std::int64_t(TWAIN_ImageHeight(dib)));
    // A DIB's size comes from its headers alone; one too large for the fuzzer's pace is not
    // decoded as well.
    if (!CostlyPicture(width, height)) {
        Bitmap surface(1, 1);
        if (TWAIN_ImageProblem(dib).empty()) {
            FUZZ_CHECK(width > 0 && height > 0, "a readable image has a size");
            surface.SetSize(int(width), int(height));
            FUZZ_CHECK(TWAIN_PaintImage(surface, 0, 0, int(width), int(height), dib, 0, 0), "a readable image paints");
        } else {
            FUZZ_CHECK(!TWAIN_PaintImage(surface, 0, 0, 1, 1, dib, 0, 0), "an unreadable image does not paint");
        }
    }
    TWAIN_ReleaseImage(dib);
    return 0;
}
