#include "twain/Scan.h"

#include <cstdlib>

#include "common/Errors.h"
#include "twain/Twain.h"

Bitmap ScannedPicture(TW_HANDLE dib) {
    if (const std::string problem = TWAIN_ImageProblem(dib); !problem.empty()) throw EInvalidGraphic(problem);
    const std::int64_t width = TWAIN_ImageWidth(dib);
    const std::int64_t height = std::abs(std::int64_t(TWAIN_ImageHeight(dib)));
    if (width <= 0 || height == 0 || !PictureSizeAllowed(width, height)) throw EInvalidGraphic();
    // The staging picture the DIB is painted onto, 1:1 at its own size.
    Bitmap staging(static_cast<int>(width), static_cast<int>(height));
    if (!TWAIN_PaintImage(staging, 0, 0, int(width), int(height), dib, 0, 0)) throw EInvalidGraphic();
    return staging;
}

std::optional<Bitmap> ScanFirstImage() {
    // With no source at all (the user has read so in the selection and closed it) an
    // acquisition could only fail.
    if (!TWAIN_SelectImageSource(0) && TWAIN_NoSourceFound()) return std::nullopt;
    TWAIN_AcquireImages(0);
    if (TWAIN_ImageCount() < 1) return std::nullopt;
    struct TRelease {
        TW_HANDLE dib;
        ~TRelease() { TWAIN_ReleaseImage(dib); }
    } first{TWAIN_ImageAt(0)};
    return ScannedPicture(first.dib);
}
