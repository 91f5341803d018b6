// JPEG XL files through the decoder: a picture that decodes has the size the header declares,
// turned by its orientation.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include <jxl/decode.h>

#include "Errors.h"
#include "FuzzSupport.h"
#include "Jxl.h"

namespace {
// The upright size from the header alone; false when libjxl cannot read one.
bool DeclaredSize(const std::uint8_t* data, std::size_t size, long long& width, long long& height) {
    const std::unique_ptr<JxlDecoder, void (*)(JxlDecoder*)> decoder(JxlDecoderCreate(nullptr), JxlDecoderDestroy);
    JxlBasicInfo info;
    if (JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), data, size) != JXL_DEC_SUCCESS)
        return false;
    JxlDecoderCloseInput(decoder.get());
    if (JxlDecoderProcessInput(decoder.get()) != JXL_DEC_BASIC_INFO ||
        JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS)
        return false;
    width = info.xsize, height = info.ysize;
    if (info.orientation >= JXL_ORIENT_TRANSPOSE) std::swap(width, height);
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    long long width = 0, height = 0;
    const bool declared = DeclaredSize(data, size, width, height);
    if (declared && CostlyPicture(width, height)) return 0;
    try {
        PictureMetadata metadata;
        const Bitmap picture = DecodeJxl(data, size, &metadata);
        FUZZ_CHECK(declared && picture.Width() == width && picture.Height() == height,
                   "decoded size is the declared size");
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
