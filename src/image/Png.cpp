#include "image/Png.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include <png.h>

#include "image/DecoderPicture.h"
#include "common/Errors.h"
#include "image/FreeDeleter.h"
#include "image/MetadataBlocks.h"
#include "image/RowProgress.h"
#include "image/SampleRows.h"

// libpng reports a fatal error by calling our error function, which must not return: it
// jumps back to the setjmp in RunDecoder or RunEncoder. Those two functions (and the C-style
// helpers they call) hold every libpng call and no C++ object with a destructor, so the jump
// skips nothing that needs cleaning; they free libpng's structures and their own buffers on both
// paths and report the outcome as a value that the C++ side turns into an exception. A cancel
// leaves by the same path.

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
    const std::uint8_t* Data;
    std::size_t Size, Position;
    RowsForSize RowsFor;
    KeepBlock Keep;  // nullptr: the metadata is not wanted
    void* Context;
    RowProgress* Progress;
    const SampleRowConverter* OverWhite;  // 8-bit blue-green-red-alpha rows to ours
    png_structp Png;
    png_infop Info, EndInfo;
    std::uint8_t* AlphaRows;  // malloc'd rows with alpha, before they go over white
    double ResolutionX, ResolutionY;
    char Message[MessageSize];
};

void ReadFromMemory(png_structp png, png_bytep into, png_size_t count) {
    auto* s = static_cast<DecodeSession*>(png_get_io_ptr(png));
    if (count > s->Size - s->Position) png_error(png, "the file ends too early");
    std::memcpy(into, s->Data + s->Position, count);
    s->Position += count;
}

// Hands on the EXIF, ICC and XMP chunks that libpng has read into `info`.
void KeepMetadata(DecodeSession& s, png_infop info) {
    png_uint_32 exifSize = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(s.Png, info, &exifSize, &exif) && exif) s.Keep(s.Context, PngBlock::Exif, exif, exifSize);
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (png_get_iCCP(s.Png, info, &name, &compression, &profile, &profileSize) && profile)
        s.Keep(s.Context, PngBlock::Icc, profile, profileSize);
    png_textp texts = nullptr;
    const int count = png_get_text(s.Png, info, &texts, nullptr);
    for (int i = 0; i < count; ++i)
        if (texts[i].key && std::strcmp(texts[i].key, XmpKeyword) == 0 && texts[i].text) {
            const std::size_t length =
                texts[i].compression >= PNG_ITXT_COMPRESSION_NONE ? texts[i].itxt_length : texts[i].text_length;
            s.Keep(s.Context, PngBlock::Xmp, reinterpret_cast<const std::uint8_t*>(texts[i].text), length);
        }
}

Outcome RunDecoder(DecodeSession& s) {
    s.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, s.Message, JumpToHandler, DiscardWarning);
    if (!s.Png) return Outcome::LibraryError;
    s.Info = png_create_info_struct(s.Png);
    if (!s.Info || setjmp(png_jmpbuf(s.Png))) {
        png_destroy_read_struct(&s.Png, &s.Info, &s.EndInfo);
        std::free(s.AlphaRows);
        s.AlphaRows = nullptr;
        return Outcome::LibraryError;
    }
    png_set_read_fn(s.Png, &s, ReadFromMemory);
    png_read_info(s.Png, s.Info);
    if (s.Keep) KeepMetadata(s, s.Info);

    png_uint_32 unitsX = 0, unitsY = 0;
    int unit = 0;
    if (png_get_pHYs(s.Png, s.Info, &unitsX, &unitsY, &unit) && unit == PNG_RESOLUTION_METER) {
        s.ResolutionX = unitsX * 0.0254;
        s.ResolutionY = unitsY * 0.0254;
    }
    // Everything becomes 8-bit blue-green-red, with alpha where the file has any.
    png_set_expand(s.Png);    // palette to colour, low grey depths to 8 bits, tRNS to alpha
    png_set_scale_16(s.Png);  // 16 bits to 8, rounded
    png_set_gray_to_rgb(s.Png);
    png_set_bgr(s.Png);
    const int passes = png_set_interlace_handling(s.Png);
    png_read_update_info(s.Png, s.Info);

    const png_uint_32 width = png_get_image_width(s.Png, s.Info);
    const png_uint_32 height = png_get_image_height(s.Png, s.Info);
    const int channels = png_get_channels(s.Png, s.Info);
    if ((channels != 3 && channels != 4) || png_get_rowbytes(s.Png, s.Info) != std::size_t(width) * channels)
        png_error(s.Png, "unexpected sample layout");

    std::uint8_t* const top = s.RowsFor(s.Context, width, height);
    if (!top) {
        png_destroy_read_struct(&s.Png, &s.Info, &s.EndInfo);
        return Outcome::Refused;
    }
    const std::size_t rowBytes = std::size_t(width) * 3, alphaRowBytes = std::size_t(width) * 4;
    // Progress counts the rows of every pass.
    const std::int64_t rowsInAll = std::int64_t(passes) * height;
    if (channels == 3) {
        // Interlaced passes fill in the same rows, so they go straight into the picture.
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y) {
                png_read_row(s.Png, top + y * rowBytes, nullptr);
                ReportRows(s.Png, *s.Progress, std::int64_t(pass) * height + y + 1, rowsInAll);
            }
    } else if (passes == 1) {
        s.AlphaRows = static_cast<std::uint8_t*>(std::malloc(alphaRowBytes));
        if (!s.AlphaRows) png_error(s.Png, "out of memory");
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(s.Png, s.AlphaRows, nullptr);
            s.OverWhite->Convert(s.AlphaRows, top + y * rowBytes, width);
            ReportRows(s.Png, *s.Progress, y + 1, rowsInAll);
        }
    } else {
        // Interlaced with alpha: every pass must be in before a pixel can go over white.
        s.AlphaRows = static_cast<std::uint8_t*>(std::malloc(alphaRowBytes * height));
        if (!s.AlphaRows) png_error(s.Png, "out of memory");
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y) {
                png_read_row(s.Png, s.AlphaRows + y * alphaRowBytes, nullptr);
                ReportRows(s.Png, *s.Progress, std::int64_t(pass) * height + y + 1, rowsInAll);
            }
        for (png_uint_32 y = 0; y < height; ++y)
            s.OverWhite->Convert(s.AlphaRows + y * alphaRowBytes, top + y * rowBytes, width);
    }
    std::free(s.AlphaRows);
    s.AlphaRows = nullptr;
    // Every row is in. Chunks after the pixels are read only for their metadata, and damage
    // there costs only that, not a complete picture.
    if (s.Keep && (s.EndInfo = png_create_info_struct(s.Png)) != nullptr && !setjmp(png_jmpbuf(s.Png))) {
        png_read_end(s.Png, s.EndInfo);
        KeepMetadata(s, s.EndInfo);
    }
    png_destroy_read_struct(&s.Png, &s.Info, &s.EndInfo);
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
    const std::uint8_t* Top;  // top row; rows 3 * width bytes apart, blue-green-red
    std::uint32_t Width, Height;
    double ResolutionX, ResolutionY;
    const std::vector<std::uint8_t>* Exif;  // the TIFF structure; may be empty
    const std::vector<std::uint8_t>* Icc;
    const char* Xmp;  // zero-terminated; may be empty
    bool IccRefused;  // libpng found the profile damaged or not for a colour picture
    RowProgress* Progress;
    png_structp Png;
    png_infop Info;
    unsigned char* Buffer;  // malloc'd; grows as the file is written
    std::size_t Size, Capacity;
    char Message[MessageSize];
};

void WriteToMemory(png_structp png, png_bytep data, png_size_t count) {
    auto* s = static_cast<EncodeSession*>(png_get_io_ptr(png));
    if (count > s->Capacity - s->Size) {
        std::size_t grown = s->Capacity * 2;
        if (grown < s->Size + count) grown = s->Size + count;
        auto* bigger = static_cast<unsigned char*>(std::realloc(s->Buffer, grown));
        if (!bigger) png_error(png, "out of memory");
        s->Buffer = bigger;
        s->Capacity = grown;
    }
    std::memcpy(s->Buffer + s->Size, data, count);
    s->Size += count;
}

void FlushMemory(png_structp) {}

png_uint_32 DotsPerMetre(double dotsPerInch) { return png_uint_32(std::lround(dotsPerInch / 0.0254)); }

Outcome RunEncoder(EncodeSession& s) {
    s.Capacity = std::size_t(s.Width) * s.Height + 4096;  // most photos fit at half their raw size
    s.Buffer = static_cast<unsigned char*>(std::malloc(s.Capacity));
    if (!s.Buffer) return Outcome::Refused;
    s.Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, s.Message, JumpToHandler, DiscardWarning);
    if (!s.Png) {
        std::free(s.Buffer);
        s.Buffer = nullptr;
        return Outcome::Refused;
    }
    s.Info = png_create_info_struct(s.Png);
    if (!s.Info || setjmp(png_jmpbuf(s.Png))) {
        png_destroy_write_struct(&s.Png, &s.Info);
        std::free(s.Buffer);
        s.Buffer = nullptr;
        return Outcome::LibraryError;
    }
    png_set_write_fn(s.Png, &s, WriteToMemory, FlushMemory);
    png_set_IHDR(s.Png, s.Info, s.Width, s.Height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (s.ResolutionX > 0 && s.ResolutionY > 0)
        png_set_pHYs(s.Png, s.Info, DotsPerMetre(s.ResolutionX), DotsPerMetre(s.ResolutionY), PNG_RESOLUTION_METER);
    // A profile libpng refuses is a warning, not a failed save: the picture goes without it.
    png_set_benign_errors(s.Png, 1);
    if (!s.Exif->empty())
        png_set_eXIf_1(s.Png, s.Info, png_uint_32(s.Exif->size()), const_cast<png_bytep>(s.Exif->data()));
    if (!s.Icc->empty()) {
        png_set_iCCP(s.Png, s.Info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, s.Icc->data(),
                     png_uint_32(s.Icc->size()));
        s.IccRefused = !png_get_valid(s.Png, s.Info, PNG_INFO_iCCP);
    }
    if (s.Xmp[0]) {
        png_text text{};
        text.compression = PNG_ITXT_COMPRESSION_NONE;
        text.key = const_cast<png_charp>(XmpKeyword);
        text.text = const_cast<png_charp>(s.Xmp);
        png_set_text(s.Png, s.Info, &text, 1);
    }
    // One filter and a light zlib level: a photo compresses nearly as well as with libpng's
    // trial of every filter at level 6, in a fraction of the time.
    png_set_filter(s.Png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(s.Png, 3);
    png_write_info(s.Png, s.Info);
    png_set_bgr(s.Png);  // our rows as they are
    const std::size_t rowBytes = std::size_t(s.Width) * 3;
    for (std::uint32_t y = 0; y < s.Height; ++y) {
        png_write_row(s.Png, const_cast<png_bytep>(s.Top + y * rowBytes));
        ReportRows(s.Png, *s.Progress, y + 1, s.Height);
    }
    // Every chunk went before the pixels; libpng would write eXIf a second time after them.
    png_write_end(s.Png, nullptr);
    png_destroy_write_struct(&s.Png, &s.Info);
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
    session.Data = data;
    session.Size = size;
    session.RowsFor = SizeTarget;
    session.Keep = metadata ? KeepTargetBlock : nullptr;
    session.Context = &target;
    session.Progress = &rowProgress;
    const SampleRowConverter overWhite({3, true, AlphaKind::Straight, 8});
    session.OverWhite = &overWhite;
    const Outcome outcome = RunDecoder(session);
    if (rowProgress.Stopped()) rowProgress.ThrowStop();
    switch (outcome) {
        case Outcome::Done:
            if (metadata) {
                metadata->ResolutionX = session.ResolutionX;
                metadata->ResolutionY = session.ResolutionY;
                metadata->Segments.insert(metadata->Segments.end(), target.metadata.Segments.begin(),
                                          target.metadata.Segments.end());
            }
            return std::move(target.picture);
        case Outcome::Refused: std::rethrow_exception(target.failure);
        default: ThrowPngError(session.Message[0] ? session.Message : "out of memory");
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
    session.Exif = &blocks.Exif;
    session.Icc = &blocks.Icc;
    session.Xmp = xmp.c_str();
    session.Top = picture.Empty() ? nullptr : picture.Row(0);
    session.Width = std::uint32_t(picture.Width());
    session.Height = std::uint32_t(picture.Height());
    session.ResolutionX = metadata.ResolutionX;
    session.ResolutionY = metadata.ResolutionY;
    session.Progress = &rowProgress;
    const Outcome outcome = RunEncoder(session);
    if (rowProgress.Stopped()) rowProgress.ThrowStop();
    switch (outcome) {
        case Outcome::Done: {
            const std::unique_ptr<unsigned char, FreeDeleter> owned(session.Buffer);
            if (session.IccRefused && warnings)
                warnings->push_back("The ICC profile of " + std::to_string(blocks.Icc.size()) +
                                    " bytes is damaged or not one for a colour picture, and a PNG file cannot "
                                    "hold it; it was left out.");
            return std::vector<std::uint8_t>(owned.get(), owned.get() + session.Size);
        }
        case Outcome::Refused: throw std::bad_alloc();
        default: throw EPictureFileInvalid(std::string("The PNG file cannot be written: ") + session.Message);
    }
}
