// WebP files through the decoder. A picture that decodes must come back unchanged through our
// own lossless encoder, with the metadata it had.
#include <cstddef>
#include <cstdint>

#include <webp/decode.h>

#include "common/Errors.h"
#include "image/Exif.h"
#include "FuzzSupport.h"
#include "image/MetadataBlocks.h"
#include "image/WebP.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A few bytes of lossless data can declare a large picture of one colour.
    int declaredWidth = 0, declaredHeight = 0;
    if (WebPGetInfo(data, size, &declaredWidth, &declaredHeight) && CostlyPicture(declaredWidth, declaredHeight))
        return 0;
    try {
        PictureMetadata metadata;
        const Bitmap picture = DecodeWebP(data, size, &metadata);
        FUZZ_CHECK(!picture.Empty(), "a decoded WebP has pixels");
        if (CostlyPicture(picture.Width(), picture.Height())) return 0;
        const std::vector<std::uint8_t> again = EncodeWebP(picture, metadata, WebPCompression::Lossless);
        PictureMetadata kept;
        FUZZ_CHECK(DecodeWebP(again.data(), again.size(), &kept) == picture, "WebP round trip");
        const PictureMetadata fitted = MetadataForSavedPicture(metadata, picture.Width(), picture.Height());
        FUZZ_CHECK(IccProfileOf(kept) == IccProfileOf(fitted) && XmpPacketOf(kept) == XmpPacketOf(fitted),
                   "WebP chunks kept");
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
