// JPEG XL files through the decoder: a picture that decodes has the size the header declares,
// turned by its orientation.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include <jxl/decode.h>

#include "DeclaredSize.h"
#include "image/Jxl.h"

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
    FuzzAgainstDeclaredSize(data, size, DeclaredSize, [](const std::uint8_t* bytes, std::size_t length) {
        PictureMetadata metadata;
        return DecodeJxl(bytes, length, &metadata);
    });
    return 0;
}
