#include "Scan.h"

#include <cstdlib>

#include "Errors.h"
#include "Twain.h"

Bitmap ScannedPicture(TW_HANDLE dib) {
    const std::int64_t width = TWAIN_ImageWidth(dib);
    const std::int64_t height = std::abs(std::int64_t(TWAIN_ImageHeight(dib)));
    if (width <= 0 || height == 0 || !PictureSizeAllowed(width, height)) throw EInvalidGraphic();
    // The staging picture the DIB is painted onto, 1:1 at its own size.
    Bitmap staging(static_cast<int>(width), static_cast<int>(height));
    if (!TWAIN_PaintImage(staging, 0, 0, int(width), int(height), dib, 0, 0)) throw EInvalidGraphic();
    return staging;
}

std::optional<Bitmap> ScanFirstImage() {
    TWAIN_SelectImageSource(0);
    TWAIN_AcquireImages(0);
    if (TWAIN_ImageCount() < 1) return std::nullopt;
    struct TRelease {
        TW_HANDLE dib;
        ~TRelease() { TWAIN_ReleaseImage(dib); }
    } first{TWAIN_ImageAt(0)};
    return ScannedPicture(first.dib);
}
