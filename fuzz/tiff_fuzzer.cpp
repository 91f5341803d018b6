// TIFF files, or TIFFs handed over in memory, through the loader. A picture that decodes must
// come back unchanged through our own encoder, since it writes without loss. The EXIF block
// made from its EXIF directories, once made fit for a saved picture, stays as it is.
#include <cstddef>
#include <cstdint>

#include "common/Errors.h"
#include "image/Exif.h"
#include "FuzzSupport.h"
#include "image/Tiff.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        // The decoder checks the declared size before it allocates, so a huge one is cheap to
        // try; only allowed pictures too large for the fuzzer's pace are kept out, afterwards.
        const StoredTiff stored = ReadTiff(data, size);
        FUZZ_CHECK(!stored.Picture.Empty(), "a decoded TIFF has pixels");
        FUZZ_CHECK(stored.Orientation >= 1 && stored.Orientation <= 8, "orientation in range");
        const int width = stored.Picture.Width(), height = stored.Picture.Height();
        const PictureMetadata fitted = MetadataForSavedPicture(stored.Metadata, width, height);
        FUZZ_CHECK(MetadataForSavedPicture(fitted, width, height) == fitted, "a fitted EXIF block is kept");
        if (CostlyPicture(width, height)) return 0;
        const std::vector<std::uint8_t> again = EncodeTiff(stored.Picture, stored.Metadata);
        FUZZ_CHECK(DecodeTiff(again.data(), again.size()) == stored.Picture, "TIFF round trip");
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
