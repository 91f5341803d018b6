// EXIF blocks through libexif, as a JPEG save rewrites them: the input is the block after its
// "Exif\0\0" header. Fitting a block to a picture must be done once and for all: fitting the
// result again changes nothing, so that a file saved twice keeps its metadata.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/Exif.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65533 - 6) return 0;  // a JPEG segment holds no more
    PictureMetadata metadata;
    std::vector<std::uint8_t> exif{'E', 'x', 'i', 'f', 0, 0};
    exif.insert(exif.end(), data, data + size);
    metadata.Segments.push_back({MarkerApp1, std::move(exif)});
    const int orientation = ExifOrientation(metadata);
    FUZZ_CHECK(orientation >= 1 && orientation <= 8, "orientation in range");
    const PictureMetadata fitted = MetadataForSavedPicture(metadata, 640, 70000);
    FUZZ_CHECK(fitted.Segments.size() == 1 && IsExifSegment(fitted.Segments[0]), "still one EXIF block");
    FUZZ_CHECK(ExifOrientation(fitted) == 1, "fitted block says orientation 1");
    FUZZ_CHECK(MetadataForSavedPicture(fitted, 640, 70000) == fitted, "fitting twice changes nothing");
    return 0;
}
