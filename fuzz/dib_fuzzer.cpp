// BMP files and packed DIBs: every input is tried both ways (and a file's information header
// also as a packed DIB). A picture that decodes must come back unchanged through our own
// encoder, in both containers.
#include <cstddef>
#include <cstdint>

#include "image/Dib.h"
#include "image/DibHeader.h"
#include "common/Errors.h"
#include "FuzzSupport.h"

namespace {
void CheckRoundTrip(const Bitmap& picture) {
    const std::vector<std::uint8_t> file = EncodeBmpFile(picture);
    FUZZ_CHECK(DecodeBmpFile(file.data(), file.size()) == picture, "BMP file round trip");
    const std::vector<std::uint8_t> packed = EncodePackedDib(picture);
    FUZZ_CHECK(DecodePackedDib(packed.data(), packed.size()) == picture, "packed DIB round trip");
}

void TryDecode(const std::uint8_t* data, std::size_t size, DibContainer container) {
    try {
        // The headers alone first: they are read without allocating, and tell whether the
        // picture is small enough to be worth the round trip.
        const DibLayout layout = ReadDibLayout(data, size, container);
        FUZZ_CHECK(layout.Width > 0 && layout.Height > 0, "layout has a size");
        FUZZ_CHECK(layout.PixelOffset <= size, "pixels start inside the data");
        if (CostlyPicture(layout.Width, layout.Height)) return;
        const Bitmap picture =
            container == DibContainer::File ? DecodeBmpFile(data, size) : DecodePackedDib(data, size);
        FUZZ_CHECK(picture.Width() == layout.Width && picture.Height() == layout.Height,
                   "decoded size is the declared size");
        CheckRoundTrip(picture);
    } catch (const EInvalidGraphic&) {
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TryDecode(data, size, DibContainer::File);
    TryDecode(data, size, DibContainer::Packed);
    if (size >= FileHeaderSize && data[0] == 'B' && data[1] == 'M')
        TryDecode(data + FileHeaderSize, size - FileHeaderSize, DibContainer::Packed);
    return 0;
}
