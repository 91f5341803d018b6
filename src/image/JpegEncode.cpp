#include "image/Jpeg.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <jerror.h>

#include "image/Exif.h"
#include "image/FreeDeleter.h"
#include "image/JpegSession.h"
#include "image/RowProgress.h"

namespace {
// A destination that grows a malloc'd buffer; the encoder frees it on failure.
struct GrowingDestination {
    jpeg_destination_mgr pub;
    unsigned char* buffer;
    std::size_t capacity;
};

void StartDestination(j_compress_ptr) {}
void EndDestination(j_compress_ptr) {}

boolean GrowDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<GrowingDestination*>(cinfo->dest);
    const std::size_t grownCapacity = dest->capacity * 2;
    auto* grown = static_cast<unsigned char*>(std::realloc(dest->buffer, grownCapacity));
    if (grown == nullptr) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    dest->pub.next_output_byte = grown + dest->capacity;
    dest->pub.free_in_buffer = grownCapacity - dest->capacity;
    dest->buffer = grown;
    dest->capacity = grownCapacity;
    return TRUE;
}

struct EncodeSession {
    const std::uint8_t* Top;  // top row; rows 3 * width bytes apart, blue-green-red
    int Width, Height, Quality;
    const MetadataSegment* const* Segments;  // written after the JFIF header
    std::size_t SegmentCount;
    double ResolutionX, ResolutionY;  // dots per inch, or 0
    RowProgress* Progress;
    jpeg_compress_struct Cinfo;
    ErrorManager Err;
    GrowingDestination Dest;
    std::size_t Written;
    int ErrorCode;
};

Outcome RunEncoder(EncodeSession& s) {
    jpeg_compress_struct& cinfo = s.Cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    InstallErrorManager(s.Err);
    cinfo.err = &s.Err.pub;
    // A start that holds most photos at quality 90 without growing.
    s.Dest.capacity = std::size_t(s.Width) * std::size_t(s.Height) / 2 + 4096;
    s.Dest.buffer = static_cast<unsigned char*>(std::malloc(s.Dest.capacity));
    if (s.Dest.buffer == nullptr) return Outcome::Refused;
    if (setjmp(s.Err.escape)) {
        s.ErrorCode = s.Err.pub.msg_code;
        jpeg_destroy_compress(&cinfo);
        std::free(s.Dest.buffer);
        s.Dest.buffer = nullptr;
        return Outcome::LibraryError;
    }
    jpeg_create_compress(&cinfo);
    s.Dest.pub.next_output_byte = s.Dest.buffer;
    s.Dest.pub.free_in_buffer = s.Dest.capacity;
    s.Dest.pub.init_destination = StartDestination;
    s.Dest.pub.empty_output_buffer = GrowDestination;
    s.Dest.pub.term_destination = EndDestination;
    cinfo.dest = &s.Dest.pub;

    cinfo.image_width = JDIMENSION(s.Width);
    cinfo.image_height = JDIMENSION(s.Height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;  // our rows as they are
    jpeg_set_defaults(&cinfo);           // baseline JFIF, YCbCr 4:2:0, Huffman, no progression
    jpeg_set_quality(&cinfo, s.Quality, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    if (s.ResolutionX > 0 && s.ResolutionY > 0) {
        cinfo.density_unit = 1;  // dots per inch
        cinfo.X_density = UINT16(std::clamp(std::lround(s.ResolutionX), 1L, 65535L));
        cinfo.Y_density = UINT16(std::clamp(std::lround(s.ResolutionY), 1L, 65535L));
    }
    jpeg_start_compress(&cinfo, TRUE);
    for (std::size_t i = 0; i < s.SegmentCount; ++i) {
        const MetadataSegment& segment = *s.Segments[i];
        jpeg_write_marker(&cinfo, segment.Marker, segment.Bytes.data(), unsigned(segment.Bytes.size()));
    }

    const std::size_t rowBytes = std::size_t(s.Width) * 3;
    enum { RowsPerCall = 16 };
    JSAMPROW rows[RowsPerCall];
    while (cinfo.next_scanline < cinfo.image_height) {
        JDIMENSION count = cinfo.image_height - cinfo.next_scanline;
        if (count > RowsPerCall) count = RowsPerCall;
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = const_cast<JSAMPROW>(s.Top + (cinfo.next_scanline + i) * rowBytes);
        jpeg_write_scanlines(&cinfo, rows, count);
        if (!s.Progress->Report(cinfo.next_scanline, cinfo.image_height))
            JumpToHandler(reinterpret_cast<j_common_ptr>(&cinfo));
    }
    jpeg_finish_compress(&cinfo);
    s.Written = s.Dest.capacity - s.Dest.pub.free_in_buffer;
    jpeg_destroy_compress(&cinfo);
    return Outcome::Done;
}

// Why a segment too long for a JPEG file was left out of it.
std::string LeftOutSegment(const MetadataSegment& segment) {
    const std::string bytes = std::to_string(segment.Bytes.size()) + " bytes";
    const std::string limit = " than a JPEG segment holds (" + std::to_string(MaxSegmentBytes) + " bytes)";
    if (IsExifSegment(segment))
        return "The EXIF block grew to " + bytes + " when fitted to the picture, more" + limit + "; it was left out.";
    if (IsIccSegment(segment))
        return "The ICC profile of " + std::to_string(IccProfileOf(PictureMetadata{{segment}}).size()) +
               " bytes needs more than 255 JPEG segments; it was left out.";
    return "A metadata segment of " + bytes + " is longer" + limit + "; it was left out.";
}

std::vector<std::uint8_t> Encode(const Bitmap& picture, int quality, const PictureMetadata* metadata,
                                 const ProgressCallback& progress, MetadataWarnings* warnings) {
    // Refused before the encoder starts, so that a save leaves the old file as it was.
    if (picture.Width() > JPEG_MAX_DIMENSION || picture.Height() > JPEG_MAX_DIMENSION)
        ThrowJpegError(JERR_IMAGE_TOO_BIG);
    // The carried segments follow the JFIF header, as they came, but for those too long for one.
    std::vector<const MetadataSegment*> segments;
    if (metadata) {
        for (const MetadataSegment& segment : metadata->Segments) {
            if (segment.Bytes.size() <= MaxSegmentBytes)
                segments.push_back(&segment);
            else if (warnings)
                warnings->push_back(LeftOutSegment(segment));
        }
    }
    RowProgress rowProgress(progress);
    EncodeSession session{};
    session.Top = picture.Empty() ? nullptr : picture.Row(0);
    session.Width = picture.Width();
    session.Height = picture.Height();
    session.Quality = quality;
    session.Segments = segments.data();
    session.SegmentCount = segments.size();
    if (metadata) session.ResolutionX = metadata->ResolutionX, session.ResolutionY = metadata->ResolutionY;
    session.Progress = &rowProgress;
    const Outcome outcome = RunEncoder(session);
    if (rowProgress.Stopped()) rowProgress.ThrowStop();
    switch (outcome) {
        case Outcome::Done: {
            const std::unique_ptr<unsigned char, FreeDeleter> owned(session.Dest.buffer);
            return std::vector<std::uint8_t>(owned.get(), owned.get() + session.Written);
        }
        case Outcome::Refused: throw std::bad_alloc();
        default: ThrowJpegError(session.ErrorCode);
    }
}
}  // namespace

std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality) {
    return Encode(picture, quality, nullptr, {}, nullptr);
}

std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality, const PictureMetadata& metadata,
                                     const ProgressCallback& progress, MetadataWarnings* warnings) {
    const PictureMetadata fitted = MetadataForSavedPicture(metadata, picture.Width(), picture.Height());
    return Encode(picture, quality, &fitted, progress, warnings);
}
