// HEIF and AVIF files through the decoder: a picture that decodes has the size the file
// declares for its primary picture, and its metadata goes whole into a WebP save.
#include <cstddef>
#include <cstdint>
#include <memory>

#include <libheif/heif.h>

#include "DeclaredSize.h"
#include "image/Heif.h"
#include "image/WebP.h"

namespace {
// The primary picture's size as libheif reads it from the boxes, without decoding; false when
// it cannot.
bool DeclaredSize(const std::uint8_t* data, std::size_t size, long long& width, long long& height) {
    const std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
    heif_image_handle* handle = nullptr;
    if (heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code != heif_error_Ok ||
        heif_context_get_primary_image_handle(context.get(), &handle).code != heif_error_Ok)
        return false;
    width = heif_image_handle_get_width(handle);
    height = heif_image_handle_get_height(handle);
    heif_image_handle_release(handle);
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzAgainstDeclaredSize(data, size, DeclaredSize, [](const std::uint8_t* bytes, std::size_t length) {
        PictureMetadata metadata;
        HeifColourCodes codes;
        Bitmap picture = DecodeHeif(bytes, length, &metadata, {}, &codes);
        EncodeWebP(picture, metadata, WebPCompression::Lossless);
        return picture;
    });
    return 0;
}
