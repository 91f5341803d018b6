// JPEG files through the loader. A picture that decodes must survive our own encoder, with
// the file's metadata, and decode again at the same size.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "common/Errors.h"
#include "FuzzSupport.h"
#include "image/Jpeg.h"

namespace {
struct PeekError {
    jpeg_error_mgr pub;
    std::jmp_buf escape;
};

[[noreturn]] void PeekFailed(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<PeekError*>(cinfo->err)->escape, 1); }
void Quiet(j_common_ptr) {}

// The declared size, read with libjpeg as the loader reads it; false when the header does
// not read. Used only to keep huge (but allowed) pictures out of the fuzzer's way.
bool DeclaredSize(const std::uint8_t* data, std::size_t size, long long& width, long long& height) {
    static jpeg_decompress_struct cinfo;
    static PeekError err;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = PeekFailed;
    err.pub.output_message = Quiet;
    if (setjmp(err.escape)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    width = cinfo.image_width;
    height = cinfo.image_height;
    jpeg_destroy_decompress(&cinfo);
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    long long width = 0, height = 0;
    if (DeclaredSize(data, size, width, height) && CostlyPicture(width, height)) return 0;
    try {
        PictureMetadata metadata;
        const Bitmap picture = DecodeJpeg(data, size, metadata);
        FUZZ_CHECK(picture.Width() == width && picture.Height() == height, "decoded size is the declared size");
        FUZZ_CHECK(!picture.Empty(), "a decoded JPEG has pixels");
        const std::vector<std::uint8_t> again = EncodeJpeg(picture, 90, metadata);
        PictureMetadata carried;
        const Bitmap reread = DecodeJpeg(again.data(), again.size(), carried);
        FUZZ_CHECK(reread.Width() == picture.Width() && reread.Height() == picture.Height(),
                   "re-encoded JPEG keeps its size");
        // The carried metadata, once fitted to the picture, stays as it is on every later save.
        const std::vector<std::uint8_t> twice = EncodeJpeg(reread, 90, carried);
        PictureMetadata carriedTwice;
        DecodeJpeg(twice.data(), twice.size(), carriedTwice);
        FUZZ_CHECK(carriedTwice == carried, "metadata saved twice is unchanged");
    } catch (const EJpegError&) {
    } catch (const EInvalidGraphic&) {  // past the size bound
    }
    return 0;
}
