#include "image/WebP.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include "common/Errors.h"
#include "image/MetadataBlocks.h"
#include "image/RowProgress.h"
#include "image/SampleRows.h"

// libwebp reports failure as returned codes, so its objects live in unique_ptrs and a
// failure becomes an exception at once.

namespace {
struct WebPFreeing {
    void operator()(WebPDemuxer* p) const { WebPDemuxDelete(p); }
    void operator()(WebPAnimDecoder* p) const { WebPAnimDecoderDelete(p); }
    void operator()(WebPIDecoder* p) const { WebPIDelete(p); }
    void operator()(WebPMux* p) const { WebPMuxDelete(p); }
};
template <typename T>
using WebPPtr = std::unique_ptr<T, WebPFreeing>;

[[noreturn]] void ThrowInvalid(const std::string& why) {
    throw EPictureFileInvalid("The WebP file is not valid: " + why);
}

// Bytes fed to the decoder at a time: each step tells progress of the rows it finished.
constexpr std::size_t FeedBytes = 1 << 18;

const char* StatusText(VP8StatusCode status) {
    switch (status) {
        case VP8_STATUS_OUT_OF_MEMORY: return "out of memory";
        case VP8_STATUS_UNSUPPORTED_FEATURE: return "it uses a feature this libwebp does not support";
        case VP8_STATUS_SUSPENDED:
        case VP8_STATUS_NOT_ENOUGH_DATA: return "the file ends too early";
        default: return "the compressed picture is damaged";
    }
}

void CollectChunks(const WebPDemuxer* demux, PictureMetadata& metadata) {
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux, "EXIF", 1, &chunk)) AddExifBlock(metadata, chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    if (WebPDemuxGetChunk(demux, "ICCP", 1, &chunk)) AddIccProfile(metadata, chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    if (WebPDemuxGetChunk(demux, "XMP ", 1, &chunk)) AddXmpPacket(metadata, chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
}

// The first frame on the animation's canvas, which starts transparent, so white.
Bitmap FirstFrame(const WebPData& file, int width, int height, const ProgressCallback& progress) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) throw std::bad_alloc();
    options.color_mode = MODE_BGRA;
    const WebPPtr<WebPAnimDecoder> decoder(WebPAnimDecoderNew(&file, &options));
    if (!decoder) ThrowInvalid("the animation is damaged");
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) ThrowInvalid("the first frame is damaged");
    const SampleRowConverter converter({3, true, AlphaKind::Straight, 8});
    Bitmap picture(width, height, Bitmap::Overwritten{});
    RowProgress rowProgress(progress);
    for (int y = 0; y < height; ++y) {
        converter.Convert(canvas + std::size_t(y) * std::size_t(width) * 4, picture.Row(y), std::size_t(width));
        rowProgress.Check(y + 1, height);
    }
    return picture;
}

// A still picture, decoded straight into ours where it has no alpha. The incremental decoder
// lets progress follow the rows.
Bitmap StillPicture(const std::uint8_t* data, std::size_t size, const ProgressCallback& progress) {
    WebPBitstreamFeatures features;
    const VP8StatusCode featureStatus = WebPGetFeatures(data, size, &features);
    if (featureStatus != VP8_STATUS_OK) ThrowInvalid(StatusText(featureStatus));
    const int width = features.width, height = features.height;
    CheckPictureSize(width, height);
    Bitmap picture(width, height, Bitmap::Overwritten{});
    const std::size_t rowBytes = std::size_t(width) * (features.has_alpha ? 4 : 3);
    std::unique_ptr<std::uint8_t[]> alphaRows;
    WebPDecBuffer output;
    if (!WebPInitDecBuffer(&output)) throw std::bad_alloc();
    output.colorspace = features.has_alpha ? MODE_BGRA : MODE_BGR;
    output.is_external_memory = 1;
    if (features.has_alpha) {
        alphaRows = std::make_unique_for_overwrite<std::uint8_t[]>(rowBytes * std::size_t(height));
        output.u.RGBA.rgba = alphaRows.get();
    } else {
        output.u.RGBA.rgba = picture.Row(0);
    }
    output.u.RGBA.stride = int(rowBytes);
    output.u.RGBA.size = rowBytes * std::size_t(height);
    const WebPPtr<WebPIDecoder> decoder(WebPINewDecoder(&output));
    if (!decoder) throw std::bad_alloc();

    const SampleRowConverter converter({3, true, AlphaKind::Straight, 8});
    RowProgress rowProgress(progress);
    int converted = 0;
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    for (std::size_t fed = 0; status == VP8_STATUS_SUSPENDED && fed < size;) {
        fed += std::min(FeedBytes, size - fed);
        status = WebPIUpdate(decoder.get(), data, fed);
        int lastY = 0, shownWidth = 0, shownHeight = 0, stride = 0;
        if (!WebPIDecGetRGB(decoder.get(), &lastY, &shownWidth, &shownHeight, &stride)) lastY = converted;
        for (; features.has_alpha && converted < lastY; ++converted)
            converter.Convert(alphaRows.get() + std::size_t(converted) * rowBytes, picture.Row(converted),
                              std::size_t(width));
        rowProgress.Check(lastY, height);
    }
    if (status != VP8_STATUS_OK) ThrowInvalid(StatusText(status));
    return picture;
}

int ReportEncoding(int percent, const WebPPicture* picture) {
    return static_cast<RowProgress*>(picture->user_data)->Report(percent, 100);
}

const char* EncodingErrorText(WebPEncodingError error) {
    switch (error) {
        case VP8_ENC_ERROR_OUT_OF_MEMORY:
        case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY: return "out of memory";
        case VP8_ENC_ERROR_BAD_DIMENSION: return "the picture's size is out of WebP's range";
        case VP8_ENC_ERROR_PARTITION0_OVERFLOW:
        case VP8_ENC_ERROR_PARTITION_OVERFLOW: return "the picture is too large for a lossy WebP at this quality";
        case VP8_ENC_ERROR_FILE_TOO_BIG: return "the file would pass WebP's 4 GB limit";
        default: return "the encoder failed";
    }
}

[[noreturn]] void ThrowUnwritable(const std::string& why) {
    throw EPictureFileInvalid("The WebP file cannot be written: " + why);
}

// The bitstream alone, as libwebp writes it into memory.
std::vector<std::uint8_t> EncodeBitstream(const Bitmap& bitmap, WebPCompression compression, int quality,
                                          RowProgress& progress) {
    WebPConfig config;
    if (!WebPConfigInit(&config)) throw std::bad_alloc();
    config.lossless = compression == WebPCompression::Lossless;
    // For lossless, quality is the effort; libwebp's own default suits a photo.
    config.quality = float(config.lossless ? 75 : std::clamp(quality, 0, 100));
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) throw std::bad_alloc();
    picture.width = bitmap.Width();
    picture.height = bitmap.Height();
    picture.use_argb = config.lossless;
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    picture.progress_hook = ReportEncoding;
    picture.user_data = &progress;
    const bool imported = WebPPictureImportBGR(&picture, bitmap.Row(0), int(bitmap.RowBytes()));
    const bool encoded = imported && WebPEncode(&config, &picture);
    const WebPEncodingError error = picture.error_code;
    WebPPictureFree(&picture);
    std::vector<std::uint8_t> bytes(writer.mem, writer.mem + (encoded ? writer.size : 0));
    WebPMemoryWriterClear(&writer);
    if (progress.Stopped()) progress.ThrowStop();
    if (!imported) throw std::bad_alloc();
    if (!encoded) ThrowUnwritable(EncodingErrorText(error));
    return bytes;
}
}  // namespace

Bitmap DecodeWebP(const std::uint8_t* data, std::size_t size, PictureMetadata* metadata,
                  const ProgressCallback& progress) {
    const WebPData file{data, size};
    const WebPPtr<WebPDemuxer> demux(WebPDemux(&file));
    if (!demux) ThrowInvalid("it is damaged or ends too early");
    const int width = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
    const int height = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
    CheckPictureSize(width, height);
    Bitmap picture = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG
                         ? FirstFrame(file, width, height, progress)
                         : StillPicture(data, size, progress);
    if (picture.Width() != width || picture.Height() != height) ThrowInvalid("the picture is not the canvas's size");
    if (metadata) CollectChunks(demux.get(), *metadata);
    return picture;
}

std::vector<std::uint8_t> EncodeWebP(const Bitmap& picture, const PictureMetadata& metadata,
                                     WebPCompression compression, int quality, const ProgressCallback& progress) {
    if (picture.Empty() || picture.Width() > MaxWebPSide || picture.Height() > MaxWebPSide)
        ThrowUnwritable("a WebP picture is 1 to " + std::to_string(MaxWebPSide) + " pixels a side, and this one is " +
                        std::to_string(picture.Width()) + " \u00D7 " + std::to_string(picture.Height()));
    RowProgress rowProgress(progress);
    std::vector<std::uint8_t> bitstream = EncodeBitstream(picture, compression, quality, rowProgress);

    const SavedMetadata blocks = MetadataBlocksForSave(metadata, picture.Width(), picture.Height());
    if (blocks.Exif.empty() && blocks.Icc.empty() && blocks.Xmp.empty()) return bitstream;
    // The chunks go in with the bitstream into an extended file, which WebPMux lays out.
    const WebPPtr<WebPMux> mux(WebPMuxNew());
    if (!mux) throw std::bad_alloc();
    const WebPData image{bitstream.data(), bitstream.size()};
    bool done = WebPMuxSetImage(mux.get(), &image, 0) == WEBP_MUX_OK;
    for (const auto& [name, bytes] : {std::pair{"EXIF", &blocks.Exif}, std::pair{"ICCP", &blocks.Icc}, std::pair{"XMP ", &blocks.Xmp}}) {
        const WebPData chunk{bytes->data(), bytes->size()};
        if (!bytes->empty()) done = done && WebPMuxSetChunk(mux.get(), name, &chunk, 0) == WEBP_MUX_OK;
    }
    WebPData assembled;
    WebPDataInit(&assembled);
    done = done && WebPMuxAssemble(mux.get(), &assembled) == WEBP_MUX_OK;
    std::vector<std::uint8_t> file(assembled.bytes, assembled.bytes + (done ? assembled.size : 0));
    WebPDataClear(&assembled);
    if (!done) ThrowUnwritable("its metadata chunks could not be added");
    return file;
}
