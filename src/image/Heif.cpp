#include "image/Heif.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <libheif/heif.h>

#include "common/Errors.h"
#include "image/MetadataBlocks.h"
#include "image/RowProgress.h"
#include "image/SampleRows.h"

// libheif is a C library that reports failure as a returned heif_error, so its objects live
// in unique_ptrs and an error becomes an exception at once.

namespace {
struct HeifFree {
    void operator()(heif_context* p) const { heif_context_free(p); }
    void operator()(const heif_image_handle* p) const { heif_image_handle_release(p); }
    void operator()(const heif_image* p) const { heif_image_release(p); }
    void operator()(heif_decoding_options* p) const { heif_decoding_options_free(p); }
};
template <typename T>
using HeifPtr = std::unique_ptr<T, HeifFree>;

// AVIF is HEIF with AV1 inside; a user knows it by its own name, which the file's brand tells.
const char* FormatName(const std::uint8_t* data, std::size_t size) {
    switch (size >= 12 ? heif_main_brand(data, int(std::min<std::size_t>(size, 64))) : heif_unknown_brand) {
        case heif_avif:
        case heif_avis: return "AVIF";
        case heif_unknown_brand: return "HEIF or AVIF";
        default: return "HEIF";
    }
}

class HeifFailure {
public:
    explicit HeifFailure(const char* format) : format_(format) {}
    [[noreturn]] void Throw(const std::string& why) const {
        throw EPictureFileInvalid(std::string("The ") + format_ + " file is not valid: " + why);
    }
    void Check(const heif_error& error) const {
        if (error.code != heif_error_Ok) Throw(error.message ? error.message : "unknown error");
    }

private:
    const char* format_;
};

void InitOnce() {
    // Registers the codec plugins once for the process; they stay until it ends.
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
}

// libheif tells how many of a grid picture's tiles it has decoded, from its own threads.
struct TileProgress {
    RowProgress* progress;
    std::mutex mutex;
    int tiles = 0;
};

void StartTiles(heif_progress_step step, int maxProgress, void* data) {
    if (step == heif_progress_step_total) static_cast<TileProgress*>(data)->tiles = maxProgress;
}

void TileDone(heif_progress_step step, int done, void* data) {
    auto* tiles = static_cast<TileProgress*>(data);
    if (step != heif_progress_step_total || tiles->tiles <= 0) return;
    const std::lock_guard lock(tiles->mutex);
    tiles->progress->Report(done, tiles->tiles);  // a cancel is seen once libheif returns
}

void EndTiles(heif_progress_step, void*) {}

std::vector<heif_item_id> MetadataIds(const heif_image_handle* handle, const char* type) {
    std::vector<heif_item_id> ids(
        std::size_t(std::max(0, heif_image_handle_get_number_of_metadata_blocks(handle, type))));
    ids.resize(
        std::size_t(heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids.data(), int(ids.size()))));
    return ids;
}

std::vector<std::uint8_t> MetadataBytes(const heif_image_handle* handle, heif_item_id id) {
    std::vector<std::uint8_t> bytes(heif_image_handle_get_metadata_size(handle, id));
    if (bytes.empty() || heif_image_handle_get_metadata(handle, id, bytes.data()).code != heif_error_Ok) return {};
    return bytes;
}

// Damaged metadata costs only itself: the picture is what the user asked for.
void CollectMetadata(const heif_image_handle* handle, PictureMetadata& metadata) {
    for (heif_item_id id : MetadataIds(handle, "Exif")) {
        const std::vector<std::uint8_t> bytes = MetadataBytes(handle, id);
        AddExifItem(metadata, bytes.data(), bytes.size());
    }
    for (heif_item_id id : MetadataIds(handle, "mime")) {
        const char* type = heif_image_handle_get_metadata_content_type(handle, id);
        if (type && std::string(type) == "application/rdf+xml") {
            const std::vector<std::uint8_t> bytes = MetadataBytes(handle, id);
            AddXmpPacket(metadata, bytes.data(), bytes.size());
        }
    }
    std::vector<std::uint8_t> profile(heif_image_handle_get_raw_color_profile_size(handle));
    if (!profile.empty() && heif_image_handle_get_raw_color_profile(handle, profile.data()).code == heif_error_Ok)
        AddIccProfile(metadata, profile.data(), profile.size());
}

void CollectColourCodes(const heif_image_handle* handle, HeifColourCodes& codes) {
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx) return;
    codes = {int(nclx->color_primaries), int(nclx->transfer_characteristics), int(nclx->matrix_coefficients),
             nclx->full_range_flag != 0};
    heif_nclx_color_profile_free(nclx);
}
}  // namespace

Bitmap DecodeHeif(const std::uint8_t* data, std::size_t size, PictureMetadata* metadata,
                  const ProgressCallback& progress, HeifColourCodes* colourCodes) {
    const HeifFailure failure(FormatName(data, size));
    InitOnce();
    const HeifPtr<heif_context> context(heif_context_alloc());
    if (!context) throw std::bad_alloc();
    failure.Check(heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr));
    heif_image_handle* primary = nullptr;
    failure.Check(heif_context_get_primary_image_handle(context.get(), &primary));
    const HeifPtr<const heif_image_handle> handle(primary);

    // The size with the file's rotation and crop applied, which is the size decoded.
    const int width = heif_image_handle_get_width(handle.get()), height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0) failure.Throw("the picture has no size");
    CheckPictureSize(width, height);

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    const bool wide = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
    // Deep samples come out at their own depth, rounded here: libheif would cut them.
    const heif_chroma chroma = wide ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                    : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);

    // Decoding is most of the work; converting the rows the rest.
    constexpr std::int64_t units = 1 << 16, decodingUnits = units / 10 * 9;
    const ProgressCallback decoding = ProgressPart(progress, 0, decodingUnits, units),
                           converting = ProgressPart(progress, decodingUnits, units, units);
    RowProgress decodeProgress(decoding);
    TileProgress tiles{&decodeProgress, {}, 0};
    const HeifPtr<heif_decoding_options> options(heif_decoding_options_alloc());
    if (!options) throw std::bad_alloc();
    options->start_progress = StartTiles;
    options->on_progress = TileDone;
    options->end_progress = EndTiles;
    options->progress_user_data = &tiles;
    heif_image* decoded = nullptr;
    const heif_error error = heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB, chroma, options.get());
    const HeifPtr<const heif_image> image(decoded);
    if (decodeProgress.Stopped()) decodeProgress.ThrowStop();
    failure.Check(error);

    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
    if (!plane || heif_image_get_width(image.get(), heif_channel_interleaved) != width ||
        heif_image_get_height(image.get(), heif_channel_interleaved) != height || bits < 8 || bits > 16 ||
        (bits > 8) != wide)
        failure.Throw("the decoded picture is not the one the file describes");

    SampleLayout layout;
    layout.Alpha = !alpha                                       ? AlphaKind::None
                   : heif_image_is_premultiplied_alpha(decoded) ? AlphaKind::Premultiplied
                                                                : AlphaKind::Straight;
    layout.Bits = bits;
    const SampleRowConverter converter(layout);
    Bitmap picture(width, height, Bitmap::Overwritten{});
    RowProgress rowProgress(converting);
    for (int y = 0; y < height; ++y) {
        converter.Convert(plane + std::size_t(y) * std::size_t(stride), picture.Row(y), std::size_t(width));
        rowProgress.Check(y + 1, height);
    }
    if (metadata) CollectMetadata(handle.get(), *metadata);
    if (colourCodes) CollectColourCodes(handle.get(), *colourCodes);
    return picture;
}
