#include "image/Jxl.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <jxl/decode.h>
#include <jxl/resizable_parallel_runner.h>

#include "common/Errors.h"
#include "image/MetadataBlocks.h"
#include "image/RowProgress.h"
#include "image/SampleRows.h"

// libjxl reports failure as returned codes without words, so the messages here say what
// step failed. Its objects live in unique_ptrs.

namespace {
struct JxlFreeing {
    void operator()(JxlDecoder* p) const { JxlDecoderDestroy(p); }
};
struct RunnerFreeing {
    void operator()(void* p) const { JxlResizableParallelRunnerDestroy(p); }
};

[[noreturn]] void ThrowInvalid(const std::string& why) {
    throw EPictureFileInvalid("The JPEG XL file cannot be decoded: " + why);
}

JxlColorEncoding Srgb() {
    JxlColorEncoding srgb{};
    srgb.color_space = JXL_COLOR_SPACE_RGB;
    srgb.white_point = JXL_WHITE_POINT_D65;
    srgb.primaries = JXL_PRIMARIES_SRGB;
    srgb.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
    srgb.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
    return srgb;
}

bool IsSrgb(const JxlColorEncoding& e) {
    return e.color_space == JXL_COLOR_SPACE_RGB && e.white_point == JXL_WHITE_POINT_D65 &&
           e.primaries == JXL_PRIMARIES_SRGB && e.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

// Where libjxl's threads put the decoded pixels: straight into the picture, a run of one row
// at a time, converted on the way.
struct Output {
    Bitmap* picture;
    const SampleRowConverter* converter;
    std::size_t bytesPerPixel;
    RowProgress* progress;
    std::mutex mutex;
    std::int64_t pixelsDone = 0;
};

void TakePixels(void* opaque, std::size_t x, std::size_t y, std::size_t count, const void* pixels) {
    auto* out = static_cast<Output*>(opaque);
    Bitmap& picture = *out->picture;
    if (y >= std::size_t(picture.Height()) || x > std::size_t(picture.Width()) ||
        count > std::size_t(picture.Width()) - x)
        return;
    out->converter->Convert(pixels, picture.Pixel(int(x), int(y)), count);
    const std::lock_guard lock(out->mutex);
    out->pixelsDone += std::int64_t(count);
    out->progress->Report(out->pixelsDone, std::int64_t(picture.Width()) * picture.Height());
}

// The ICC profile of the decoded pixels, kept unless they are plain sRGB, which is what a
// picture without one is taken to be.
void CollectProfile(const JxlDecoder* decoder, PictureMetadata& metadata) {
    JxlColorEncoding encoding;
    if (JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &encoding) ==
            JXL_DEC_SUCCESS &&
        IsSrgb(encoding))
        return;
    std::size_t size = 0;
    if (JxlDecoderGetICCProfileSize(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) != JXL_DEC_SUCCESS) return;
    std::vector<std::uint8_t> profile(size);
    if (JxlDecoderGetColorAsICCProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, profile.data(), size) ==
        JXL_DEC_SUCCESS)
        AddIccProfile(metadata, profile.data(), profile.size());
}

// A metadata box larger than this is left out: no photo's EXIF or XMP comes near it.
constexpr std::size_t LargestBox = std::size_t(16) << 20;

// The EXIF and XMP boxes of a container, Brotli-compressed ones unpacked, read by a decoder of
// their own that decodes no pixels. Damage costs only the boxes from there on.
void CollectBoxes(const std::uint8_t* data, std::size_t size, PictureMetadata& metadata) {
    const std::unique_ptr<JxlDecoder, JxlFreeing> decoder(JxlDecoderCreate(nullptr));
    JxlDecoder* const dec = decoder.get();
    if (!dec || JxlDecoderSubscribeEvents(dec, JXL_DEC_BOX) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec, data, size) != JXL_DEC_SUCCESS)
        return;
    JxlDecoderCloseInput(dec);
    JxlDecoderSetDecompressBoxes(dec, JXL_TRUE);  // a libjxl without Brotli leaves such boxes out
    std::vector<std::uint8_t> box;
    std::string type;  // of the box being read; empty while none is wanted
    auto keep = [&] {
        if (type.empty()) return;
        box.resize(box.size() - JxlDecoderReleaseBoxBuffer(dec));
        if (type == "Exif")
            AddExifItem(metadata, box.data(), box.size());
        else
            AddXmpPacket(metadata, box.data(), box.size());
        type.clear();
    };
    for (;;) {
        switch (JxlDecoderProcessInput(dec)) {
            case JXL_DEC_BOX: {
                keep();
                JxlBoxType name;
                if (JxlDecoderGetBoxType(dec, name, JXL_TRUE) != JXL_DEC_SUCCESS) return;
                const std::string found(name, sizeof name);
                if (found != "Exif" && found != "xml ") break;
                type = found;
                box.resize(std::size_t(1) << 16);
                JxlDecoderSetBoxBuffer(dec, box.data(), box.size());
                break;
            }
            case JXL_DEC_BOX_NEED_MORE_OUTPUT: {
                const std::size_t filled = box.size() - JxlDecoderReleaseBoxBuffer(dec);
                if (box.size() >= LargestBox) return;
                box.resize(box.size() * 2);
                JxlDecoderSetBoxBuffer(dec, box.data() + filled, box.size() - filled);
                break;
            }
            case JXL_DEC_SUCCESS: return keep();
            default: return;
        }
    }
}
}  // namespace

Bitmap DecodeJxl(const std::uint8_t* data, std::size_t size, PictureMetadata* metadata,
                 const ProgressCallback& progress) {
    if (JxlSignatureCheck(data, size) == JXL_SIG_INVALID) ThrowInvalid("it is not a JPEG XL file");
    const std::unique_ptr<JxlDecoder, JxlFreeing> decoder(JxlDecoderCreate(nullptr));
    const std::unique_ptr<void, RunnerFreeing> runner(JxlResizableParallelRunnerCreate(nullptr));
    if (!decoder || !runner) throw std::bad_alloc();
    JxlDecoder* const dec = decoder.get();
    if (JxlDecoderSubscribeEvents(dec, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(dec, JxlResizableParallelRunner, runner.get()) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec, data, size) != JXL_DEC_SUCCESS)
        ThrowInvalid("libjxl refused to start");
    JxlDecoderCloseInput(dec);

    Bitmap picture;
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    std::unique_ptr<SampleRowConverter> converter;
    RowProgress rowProgress(progress);
    Output output{&picture, nullptr, 3, &rowProgress, {}, 0};
    for (;;) {
        switch (JxlDecoderProcessInput(dec)) {
            case JXL_DEC_BASIC_INFO: {
                JxlBasicInfo info;
                if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS) ThrowInvalid("its header is damaged");
                // The size is given as stored; the picture comes out turned upright.
                const bool exchanged = info.orientation >= JXL_ORIENT_TRANSPOSE;
                const std::int64_t width = exchanged ? info.ysize : info.xsize;
                const std::int64_t height = exchanged ? info.xsize : info.ysize;
                CheckPictureSize(width, height);
                picture = Bitmap(int(width), int(height), Bitmap::Overwritten{});
                const bool alpha = info.alpha_bits > 0;
                format.num_channels = alpha ? 4 : 3;
                converter = std::make_unique<SampleRowConverter>(SampleLayout{3, false,
                                                                              !alpha ? AlphaKind::None
                                                                              : info.alpha_premultiplied
                                                                                  ? AlphaKind::Premultiplied
                                                                                  : AlphaKind::Straight,
                                                                              8});
                output.converter = converter.get();
                JxlResizableParallelRunnerSetThreads(runner.get(),
                                                     JxlResizableParallelRunnerSuggestThreads(info.xsize, info.ysize));
                break;
            }
            case JXL_DEC_COLOR_ENCODING: {
                // Only pictures in libjxl's own colour space take the preference.
                const JxlColorEncoding srgb = Srgb();
                JxlDecoderSetPreferredColorProfile(dec, &srgb);
                if (metadata) CollectProfile(dec, *metadata);
                break;
            }
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
                if (!output.converter ||
                    JxlDecoderSetImageOutCallback(dec, &format, TakePixels, &output) != JXL_DEC_SUCCESS)
                    ThrowInvalid("libjxl cannot give its pixels as 8-bit samples");
                break;
            case JXL_DEC_FULL_IMAGE:
                // The first frame is the picture; any others are an animation's.
                if (rowProgress.Stopped()) rowProgress.ThrowStop();
                if (metadata) CollectBoxes(data, size, *metadata);
                return picture;
            case JXL_DEC_NEED_MORE_INPUT: ThrowInvalid("the file ends too early");
            case JXL_DEC_SUCCESS: ThrowInvalid("the file holds no picture");
            default: ThrowInvalid("it is damaged, or uses a feature this system's libjxl does not have");
        }
    }
}
