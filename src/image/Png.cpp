#include "Png.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include <png.h>

#include "DecoderPicture.h"
#include "Errors.h"
#include "FreeDeleter.h"
#include "MetadataBlocks.h"
#include "RowProgress.h"
#include "SampleRows.h"

// libpng reports a fatal error by calling our error function, which must not return: it
// jumps back to the setjmp in RunDecoder or RunEncoder. Those two functions (and the C-style
// helpers they call) hold every libpng call and no C++ object with a destructor, so the jump skips nothing that needs cleaning;
// they free libpng's structures and their own buffers on both paths and report the outcome
// as a value that the C++ side turns into an exception. A cancel leaves by the same path.

namespace {
enum class Outcome { Done, LibraryError, Refused };

constexpr std::size_t MessageSize = 160;

void KeepMessage(char* message, const char* text) {
    std::strncpy(message, text ? text : "unknown error", MessageSize - 1);
    message[MessageSize - 1] = '\0';
}

[[noreturn]] void JumpToHandler(png_structp png, png_const_charp text) {
    KeepMessage(static_cast<char*>(png_get_error_ptr(png)), text);
    png_longjmp(png, 1);
}

// Warnings (a bad ancillary chunk, a benign error) lose nothing the picture needs.
void DiscardWarning(png_structp, png_const_charp) {}

// Tells the rows done; a cancel stops libpng through its error path, which frees everything.
void ReportRows(png_structp png, RowProgress& progress, std::int64_t done, std::int64_t total) {
    if (!progress.Report(done, total)) png_error(png, "cancelled");
}

// ---- Decoding -------------------------------------------------------------------------

// Receives the declared size once the header is read and returns the top row of a picture
// of that size (rows 3 * width bytes apart), or nullptr to stop. Must not throw.
using RowsForSize = std::uint8_t* (*)(void* context, std::uint32_t width, std::uint32_t height);

// The chunks of metadata a PNG holds, and where a picture's metadata keeps each.
enum class PngBlock { Exif, Icc, Xmp };
// Receives a block of metadata to keep. Must not throw.
using KeepBlock = void (*)(void* context, PngBlock kind, const std::uint8_t* bytes, std::size_t size);

// XMP goes in an international text chunk under this keyword.
constexpr char XmpKeyword[] = "XML:com.adobe.xmp";

struct DecodeSession {
    const std::uint8_t* data;
    std::size_t size, position;
    RowsForSize rowsForSize;
    KeepBlock keepBlock;  // nullptr: the metadata is not wanted
    void* context;
    RowProgress* progress;
    const SampleRowConverter* overWhite;  // 8-bit blue-green-red-alpha rows to ours
    png_structp png;
    png_infop info, endInfo;
    std::uint8_t* alphaRows;  // malloc'd rows with alpha, before they go over white
    double resolutionX, resolutionY;
    char message[MessageSize];
};

void ReadFromMemory(png_structp png, png_bytep into, png_size_t count) {
    auto* s = static_cast<DecodeSession*>(png_get_io_ptr(png));
    if (count > s->size - s->position) png_error(png, "the file ends too early");
    std::memcpy(into, s->data + s->position, count);
    s->position += count;
}

// Hands on the EXIF, ICC and XMP chunks that libpng has read into `info`.
void KeepMetadata(DecodeSession& s, png_infop info) {
    png_uint_32 exifSize = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(s.png, info, &exifSize, &exif) && exif)
        s.keepBlock(s.context, PngBlock::Exif, exif, exifSize);
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (png_get_iCCP(s.png, info, &name, &compression, &profile, &profileSize) && profile)
        s.keepBlock(s.context, PngBlock::Icc, profile, profileSize);
    png_textp texts = nullptr;
    const int count = png_get_text(s.png, info, &texts, nullptr);
    for (int i = 0; i < count; ++i)
        if (texts[i].key && std::strcmp(texts[i].key, XmpKeyword) == 0 && texts[i].text) {
            const std::size_t length = texts[i].compression >= PNG_ITXT_COMPRESSION_NONE ? texts[i].itxt_length
                                                                                         : texts[i].text_length;
            s.keepBlock(s.context, PngBlock::Xmp, reinterpret_cast<const std::uint8_t*>(texts[i].text), length);
        }
}

Outcome RunDecoder(DecodeSession& s) {
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, s.message, JumpToHandler, DiscardWarning);
    if (!s.png) return Outcome::LibraryError;
    s.info = png_create_info_struct(s.png);
    if (!s.info || setjmp(png_jmpbuf(s.png))) {
        png_destroy_read_struct(&s.png, &s.info, &s.endInfo);
        std::free(s.alphaRows);
        s.alphaRows = nullptr;
        return Outcome::LibraryError;
    }
    png_set_read_fn(s.png, &s, ReadFromMemory);
    png_read_info(s.png, s.info);
    if (s.keepBlock) KeepMetadata(s, s.info);

    png_uint_32 unitsX = 0, unitsY = 0;
    int unit = 0;
    if (png_get_pHYs(s.png, s.info, &unitsX, &unitsY, &unit) && unit == PNG_RESOLUTION_METER) {
        s.resolutionX = unitsX * 0.0254;
        s.resolutionY = unitsY * 0.0254;
    }
    // Everything becomes 8-bit blue-green-red, with alpha where the file has any.
    png_set_expand(s.png);    // palette to colour, low grey depths to 8 bits, tRNS to alpha
    png_set_scale_16(s.png);  // 16 bits to 8, rounded
    png_set_gray_to_rgb(s.png);
    png_set_bgr(s.png);
    const int passes = png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);

    const png_uint_32 width = png_get_image_width(s.png, s.info);
    const png_uint_32 height = png_get_image_height(s.png, s.info);
    const int channels = png_get_channels(s.png, s.info);
    if ((channels != 3 && channels != 4) || png_get_rowbytes(s.png, s.info) != std::size_t(width) * channels)
        png_error(s.png, "unexpected sample layout");

    std::uint8_t* const top = s.rowsForSize(s.context, width, height);
    if (!top) {
        png_destroy_read_struct(&s.png, &s.info, &s.endInfo);
        return Outcome::Refused;
    }
    const std::size_t rowBytes = std::size_t(width) * 3, alphaRowBytes = std::size_t(width) * 4;
    // Progress counts the rows of every pass.
    const std::int64_t rowsInAll = std::int64_t(passes) * height;
    if (channels == 3) {
        // Interlaced passes fill in the same rows, so they go straight into the picture.
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y) {
                png_read_row(s.png, top + y * rowBytes, nullptr);
                ReportRows(s.png, *s.progress, std::int64_t(pass) * height + y + 1, rowsInAll);
            }
    } else if (passes == 1) {
        s.alphaRows = static_cast<std::uint8_t*>(std::malloc(alphaRowBytes));
        if (!s.alphaRows) png_error(s.png, "out of memory");
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(s.png, s.alphaRows, nullptr);
            s.overWhite->Convert(s.alphaRows, top + y * rowBytes, width);
            ReportRows(s.png, *s.progress, y + 1, rowsInAll);
        }
    } else {
        // Interlaced with alpha: every pass must be in before a pixel can go over white.
        s.alphaRows = static_cast<std::uint8_t*>(std::malloc(alphaRowBytes * height));
        if (!s.alphaRows) png_error(s.png, "out of memory");
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y) {
                png_read_row(s.png, s.alphaRows + y * alphaRowBytes, nullptr);
                ReportRows(s.png, *s.progress, std::int64_t(pass) * height + y + 1, rowsInAll);
            }
        for (png_uint_32 y = 0; y < height; ++y)
            s.overWhite->Convert(s.alphaRows + y * alphaRowBytes, top + y * rowBytes, width);
    }
    std::free(s.alphaRows);
    s.alphaRows = nullptr;
    // Every row is in. Chunks after the pixels are read only for their metadata, and damage
    // there costs only that, not a complete picture.
    if (s.keepBlock && (s.endInfo = png_create_info_struct(s.png)) != nullptr && !setjmp(png_jmpbuf(s.png))) {
        png_read_end(s.png, s.endInfo);
        KeepMetadata(s, s.endInfo);
    }
    png_destroy_read_struct(&s.png, &s.info, &s.endInfo);
    return Outcome::Done;
}

struct DecodeTarget {
    Bitmap picture;
    PictureMetadata metadata;
    std::exception_ptr failure;
};

std::uint8_t* SizeTarget(void* context, std::uint32_t width, std::uint32_t height) {
    auto* target = static_cast<DecodeTarget*>(context);
    return SizeForDecoder(target->picture, target->failure, width, height);
}

// A block that does not fit in memory is left out: the picture is what the user asked for.
void KeepTargetBlock(void* context, PngBlock kind, const std::uint8_t* bytes, std::size_t size) noexcept {
    PictureMetadata& metadata = static_cast<DecodeTarget*>(context)->metadata;
    try {
        switch (kind) {
            case PngBlock::Exif: AddExifBlock(metadata, bytes, size); break;
            case PngBlock::Icc: AddIccProfile(metadata, bytes, size); break;
            case PngBlock::Xmp: AddXmpPacket(metadata, bytes, size); break;
        }
    } catch (const std::bad_alloc&) {
    }
}

// ---- Encoding -------------------------------------------------------------------------

struct EncodeSession {
    const std::uint8_t* top;  // top row; rows 3 * width bytes apart, blue-green-red
    std::uint32_t width, height;
    double resolutionX, resolutionY;
    const std::vector<std::uint8_t>* exif;  // the TIFF structure; may be empty
    const std::vector<std::uint8_t>* icc;
    const char* xmp;  // zero-terminated; may be empty
    bool iccRefused;  // libpng found the profile damaged or not for a colour picture
    RowProgress* progress;
    png_structp png;
    png_infop info;
    unsigned char* buffer;  // malloc'd; grows as the file is written
    std::size_t size, capacity;
    char message[MessageSize];
};

void WriteToMemory(png_structp png, png_bytep data, png_size_t count) {
    auto* s = static_cast<EncodeSession*>(png_get_io_ptr(png));
    if (count > s->capacity - s->size) {
        std::size_t grown = s->capacity * 2;
        if (grown < s->size + count) grown = s->size + count;
        auto* bigger = static_cast<unsigned char*>(std::realloc(s->buffer, grown));
        if (!bigger) png_error(png, "out of memory");
        s->buffer = bigger;
        s->capacity = grown;
    }
    std::memcpy(s->buffer + s->size, data, count);
    s->size += count;
}

void FlushMemory(png_structp) {}

png_uint_32 DotsPerMetre(double dotsPerInch) { return png_uint_32(std::lround(dotsPerInch / 0.0254)); }

Outcome RunEncoder(EncodeSession& s) {
    s.capacity = std::size_t(s.width) * s.height + 4096;  // most photos fit at half their raw size
    s.buffer = static_cast<unsigned char*>(std::malloc(s.capacity));
    if (!s.buffer) return Outcome::Refused;
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, s.message, JumpToHandler, DiscardWarning);
    if (!s.png) {
        std::free(s.buffer);
        s.buffer = nullptr;
        return Outcome::Refused;
    }
    s.info = png_create_info_struct(s.png);
    if (!s.info || setjmp(png_jmpbuf(s.png))) {
        png_destroy_write_struct(&s.png, &s.info);
        std::free(s.buffer);
        s.buffer = nullptr;
        return Outcome::LibraryError;
    }
    png_set_write_fn(s.png, &s, WriteToMemory, FlushMemory);
    png_set_IHDR(s.png, s.info, s.width, s.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (s.resolutionX > 0 && s.resolutionY > 0)
        png_set_pHYs(s.png, s.info, DotsPerMetre(s.resolutionX), DotsPerMetre(s.resolutionY), PNG_RESOLUTION_METER);
    // A profile libpng refuses is a warning, not a failed save: the picture goes without it.
    png_set_benign_errors(s.png, 1);
    if (!s.exif->empty())
        png_set_eXIf_1(s.png, s.info, png_uint_32(s.exif->size()), const_cast<png_bytep>(s.exif->data()));
    if (!s.icc->empty()) {
        png_set_iCCP(s.png, s.info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, s.icc->data(),
                     png_uint_32(s.icc->size()));
        s.iccRefused = !png_get_valid(s.png, s.info, PNG_INFO_iCCP);
    }
    if (s.xmp[0]) {
        png_text text{};
        text.compression = PNG_ITXT_COMPRESSION_NONE;
        text.key = const_cast<png_charp>(XmpKeyword);
        text.text = const_cast<png_charp>(s.xmp);
        png_set_text(s.png, s.info, &text, 1);
    }
    // One filter and a light zlib level: a photo compresses nearly as well as with libpng's
    // trial of every filter at level 6, in a fraction of the time.
    png_set_filter(s.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(s.png, 3);
    png_write_info(s.png, s.info);
    png_set_bgr(s.png);  // our rows as they are
    const std::size_t rowBytes = std::size_t(s.width) * 3;
    for (std::uint32_t y = 0; y < s.height; ++y) {
        png_write_row(s.png, const_cast<png_bytep>(s.top + y * rowBytes));
        ReportRows(s.png, *s.progress, y + 1, s.height);
    }
    // Every chunk went before the pixels; libpng would write eXIf a second time after them.
    png_write_end(s.png, nullptr);
    png_destroy_write_struct(&s.png, &s.info);
    return Outcome::Done;
}

[[noreturn]] void ThrowPngError(const char* message) {
    throw EPictureFileInvalid(std::string("The PNG file is not valid: ") + message);
}
}  // namespace

Bitmap DecodePng(const std::uint8_t* data, std::size_t size, PictureMetadata* metadata,
                 const ProgressCallback& progress) {
    DecodeTarget target;
    RowProgress rowProgress(progress);
    DecodeSession session{};
    session.data = data;
    session.size = size;
    session.rowsForSize = SizeTarget;
    session.keepBlock = metadata ? KeepTargetBlock : nullptr;
    session.context = &target;
    session.progress = &rowProgress;
    const SampleRowConverter overWhite({3, true, AlphaKind::Straight, 8});
    session.overWhite = &overWhite;
    const Outcome outcome = RunDecoder(session);
    if (rowProgress.Stopped()) rowProgress.ThrowStop();
    switch (outcome) {
        case Outcome::Done:
            if (metadata) {
                metadata->ResolutionX = session.resolutionX;
                metadata->ResolutionY = session.resolutionY;
                metadata->Segments.insert(metadata->Segments.end(), target.metadata.Segments.begin(),
                                          target.metadata.Segments.end());
            }
            return std::move(target.picture);
        case Outcome::Refused: std::rethrow_exception(target.failure);
        default: ThrowPngError(session.message[0] ? session.message : "out of memory");
    }
}

std::vector<std::uint8_t> EncodePng(const Bitmap& picture, const PictureMetadata& metadata,
                                    const ProgressCallback& progress, MetadataWarnings* warnings) {
    RowProgress rowProgress(progress);
    const SavedMetadata blocks = MetadataBlocksForSave(metadata, picture.Width(), picture.Height());
    // libpng takes the text of a chunk up to its first zero.
    std::string xmp(blocks.Xmp.begin(), blocks.Xmp.end());
    xmp.resize(std::strlen(xmp.c_str()));
    EncodeSession session{};
    session.exif = &blocks.Exif;
    session.icc = &blocks.Icc;
    session.xmp = xmp.c_str();
    session.top = picture.Empty() ? nullptr : picture.Row(0);
    session.width = std::uint32_t(picture.Width());
    session.height = std::uint32_t(picture.Height());
    session.resolutionX = metadata.ResolutionX;
    session.resolutionY = metadata.ResolutionY;
    session.progress = &rowProgress;
    const Outcome outcome = RunEncoder(session);
    if (rowProgress.Stopped()) rowProgress.ThrowStop();
    switch (outcome) {
        case Outcome::Done: {
            const std::unique_ptr<unsigned char, FreeDeleter> owned(session.buffer);
            if (session.iccRefused && warnings)
                warnings->push_back("The ICC profile of " + std::to_string(blocks.Icc.size()) +
                                    " bytes is damaged or not one for a colour picture, and a PNG file cannot "
                                    "hold it; it was left out.");
            return std::vector<std::uint8_t>(owned.get(), owned.get() + session.size);
        }
        case Outcome::Refused: throw std::bad_alloc();
        default: throw EPictureFileInvalid(std::string("The PNG file cannot be written: ") + session.message);
    }
}
