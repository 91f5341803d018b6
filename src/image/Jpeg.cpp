#include "image/Jpeg.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

#include "image/DecoderPicture.h"
#include "common/Errors.h"
#include "image/Exif.h"
#include "image/FreeDeleter.h"
#include "image/RowProgress.h"

// libjpeg reports a fatal error by calling error_exit, which must not return. Ours jumps back
// to the setjmp in RunDecoder or RunEncoder. Those two functions hold every libjpeg call and
// no C++ object with a destructor, so the jump skips nothing that needs cleaning; they free
// libjpeg's memory on both paths and report the outcome as a value that the C++ side turns
// into an exception. All state the library changes lives in a session struct owned by the
// caller, so nothing is left indeterminate by the jump. A cancel leaves by the same jump.

namespace {
const char* const LargestJpegMessage = "A JPEG file cannot be wider or higher than 65500 pixels.";
static_assert(JPEG_MAX_DIMENSION == 65500L, "the message names libjpeg's limit");

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf escape;
};

[[noreturn]] void JumpToHandler(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->escape, 1);
}

// Warnings ("Corrupt JPEG data ...") are not fatal, and a desktop program has nowhere to
// print them.
void DiscardMessage(j_common_ptr) {}

void InstallErrorManager(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = JumpToHandler;
    err.pub.output_message = DiscardMessage;
}

enum class Outcome { Done, LibraryError, Refused, TooManyScans, TooMuchWork };

// ---- Decoding -------------------------------------------------------------------------

// Receives the declared size once the header is read and returns the top row of a picture
// of that size (rows 3 * width bytes apart), or nullptr to stop. Must not throw.
using RowsForSize = std::uint8_t* (*)(void* context, int width, int height);
// Receives a carried segment of the header (marker, the bytes after the length field). Must
// not throw.
using SegmentRead = void (*)(void* context, int marker, const std::uint8_t* bytes, std::size_t size);
// Receives the header once it is read, before the size is asked for. Must not throw.
using HeaderRead = void (*)(void* context, const jpeg_decompress_struct& cinfo);

// A progressive file may hold any number of scans, each a pass over the blocks of the
// components it names, and an empty scan costs the decoder nearly as much as a full one: a
// few kilobytes of scan headers can keep it busy for minutes and touch gigabytes. Encoders
// write a dozen scans or so, and a file's data grows with its passes: even a flat picture's
// DC scans take a bit per block. So the blocks the scans visit must be paid for by the file's
// size, past a free allowance that covers a whole pass over a picture of some 20 megapixels;
// a file past that, or past MaxScans, is refused before the scan is decoded. A damaged file
// that ends early pays the same way.
constexpr int MaxScans = 100;
constexpr std::int64_t FreeBlocks = std::int64_t(1) << 20;
constexpr std::int64_t BlocksPerFileByte = 64;

// libjpeg's progress monitor, called as the decoder reads: it passes the progress on, and
// stops the decoder on a cancel or when a new scan would take it past the work the file
// pays for.
struct DecoderMonitor {
    jpeg_progress_mgr pub;
    RowProgress* progress;
    int passes;                          // over the rows: 2 when a file of several scans is read whole first, else 1
    int scan;                            // the last scan counted
    std::int64_t blocks, allowedBlocks;  // visited by the scans so far; what the file pays for
    Outcome refusal;
};

void MonitorDecoder(j_common_ptr cinfo) {
    auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* monitor = reinterpret_cast<DecoderMonitor*>(cinfo->progress);
    if (dinfo->input_scan_number != monitor->scan) {
        monitor->scan = dinfo->input_scan_number;
        monitor->blocks += std::int64_t(dinfo->MCUs_per_row) * dinfo->MCU_rows_in_scan * dinfo->blocks_in_MCU;
        if (monitor->scan > MaxScans) monitor->refusal = Outcome::TooManyScans;
        if (monitor->blocks > monitor->allowedBlocks) monitor->refusal = Outcome::TooMuchWork;
        if (monitor->refusal != Outcome::Done) JumpToHandler(cinfo);
    }
    // libjpeg counts iMCU rows against a guessed number of scans while it reads a file of
    // several, then output rows; both become rows of one pass. RowProgress keeps the count
    // from going down when the guess is raised.
    const jpeg_progress_mgr& p = monitor->pub;
    const std::int64_t rows = dinfo->image_height;
    const std::int64_t pass = std::clamp(p.completed_passes, 0, monitor->passes - 1);
    const std::int64_t within =
        p.pass_limit > 0 ? rows * std::clamp(p.pass_counter, 0L, p.pass_limit) / p.pass_limit : 0;
    if (!monitor->progress->Report(pass * rows + within, monitor->passes * rows)) JumpToHandler(cinfo);
}

struct DecodeSession {
    const std::uint8_t* Data;
    std::size_t Size;
    RowsForSize RowsFor;
    SegmentRead OnSegment;  // may be null, with OnHeader: then no metadata is read
    HeaderRead OnHeader;
    void* Context;
    bool InHeader;  // segments are kept from the header only
    jpeg_decompress_struct Cinfo;
    ErrorManager Err;
    DecoderMonitor Monitor;
    int ErrorCode;
};

// Our processor for the carried markers. libjpeg's own (jpeg_save_markers) walks its list of
// saved segments to the end for each one it adds, which makes a file of many segments take
// minutes. The source is the whole file in memory (jpeg_mem_src), so what its buffer holds is
// all there is: a segment cut short by the end of the file is skipped, and the decoder meets
// the end next.
boolean ReadCarriedSegment(j_decompress_ptr cinfo) {
    auto* s = static_cast<DecodeSession*>(cinfo->client_data);
    jpeg_source_mgr& src = *cinfo->src;
    std::size_t length = 0, available = src.bytes_in_buffer;
    if (available >= 2) length = std::size_t(src.next_input_byte[0]) << 8 | src.next_input_byte[1];
    // A length below 2 counts itself only, as libjpeg reads it.
    const std::size_t skipped = std::min(available, std::max<std::size_t>(length, 2));
    if (length >= 2 && length <= available && s->InHeader)
        s->OnSegment(s->Context, cinfo->unread_marker, src.next_input_byte + 2, length - 2);
    src.next_input_byte += skipped;
    src.bytes_in_buffer -= skipped;
    return TRUE;
}

// Adobe's CMYK and YCCK files store inverted values (255 = no ink); libjpeg passes them on
// as stored. Red is what cyan and black leave of the light, and so on.
void CmykRowToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        const unsigned flip = inverted ? 0 : 255;
        const unsigned c = cmyk[0] ^ flip, m = cmyk[1] ^ flip, y = cmyk[2] ^ flip, k = cmyk[3] ^ flip;
        bgr[0] = JSAMPLE((y * k + 127) / 255);
        bgr[1] = JSAMPLE((m * k + 127) / 255);
        bgr[2] = JSAMPLE((c * k + 127) / 255);
    }
}

Outcome RunDecoder(DecodeSession& s) {
    jpeg_decompress_struct& cinfo = s.Cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    InstallErrorManager(s.Err);
    cinfo.err = &s.Err.pub;
    if (setjmp(s.Err.escape)) {
        s.ErrorCode = s.Err.pub.msg_code;
        jpeg_destroy_decompress(&cinfo);
        return s.Monitor.refusal != Outcome::Done ? s.Monitor.refusal : Outcome::LibraryError;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.client_data = &s;
    s.Monitor.pub.progress_monitor = MonitorDecoder;
    s.Monitor.refusal = Outcome::Done;
    s.Monitor.passes = 1;
    s.Monitor.scan = 0;
    s.Monitor.blocks = 0;
    s.Monitor.allowedBlocks = 0;
    cinfo.progress = &s.Monitor.pub;
    jpeg_mem_src(&cinfo, s.Data, static_cast<unsigned long>(s.Size));
    if (s.OnSegment)
        for (int marker = JPEG_APP0; marker <= JPEG_COM; ++marker)
            if (IsCarriedMarker(marker)) jpeg_set_marker_processor(&cinfo, marker, ReadCarriedSegment);
    s.InHeader = true;
    jpeg_read_header(&cinfo, TRUE);
    s.InHeader = false;
    if (s.OnHeader) s.OnHeader(s.Context, cinfo);
    s.Monitor.passes = jpeg_has_multiple_scans(&cinfo) ? 2 : 1;
    s.Monitor.allowedBlocks = FreeBlocks + std::int64_t(s.Size) * BlocksPerFileByte;

    // Sized before jpeg_start_decompress, which allocates whole-picture buffers for
    // progressive files.
    std::uint8_t* const top = s.RowsFor(s.Context, int(cinfo.image_width), int(cinfo.image_height));
    if (top == nullptr) {
        jpeg_destroy_decompress(&cinfo);
        return Outcome::Refused;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;  // BGR: straight into our rows
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.scale_num = cinfo.scale_denom = 1;
    jpeg_start_decompress(&cinfo);

    const std::size_t rowBytes = std::size_t(cinfo.output_width) * 3;
    JSAMPARRAY cmykRow = cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                           cinfo.output_width * 4, 1)
                              : nullptr;
    enum { RowsPerCall = 16 };
    JSAMPROW rows[RowsPerCall];
    while (cinfo.output_scanline < cinfo.output_height) {
        std::uint8_t* const first = top + cinfo.output_scanline * rowBytes;
        if (cmyk) {
            if (jpeg_read_scanlines(&cinfo, cmykRow, 1) != 1) break;
            CmykRowToBgr(cmykRow[0], first, cinfo.output_width, cinfo.saw_Adobe_marker);
            continue;
        }
        JDIMENSION count = cinfo.output_height - cinfo.output_scanline;
        if (count > RowsPerCall) count = RowsPerCall;
        for (JDIMENSION i = 0; i < count; ++i) rows[i] = first + i * rowBytes;
        if (jpeg_read_scanlines(&cinfo, rows, count) == 0) break;  // never with a memory source
    }
    const std::int64_t rowsInAll = std::int64_t(s.Monitor.passes) * cinfo.image_height;
    if (!s.Monitor.progress->Report(rowsInAll, rowsInAll)) JumpToHandler(reinterpret_cast<j_common_ptr>(&cinfo));
    // Every row is out: jpeg_finish_decompress would only read trailing markers, and damage
    // there should not cost the user a complete picture.
    jpeg_destroy_decompress(&cinfo);
    return Outcome::Done;
}

// What a file may make us keep. Thousands of segments are no photo's, and each costs memory
// for as long as the picture is open. The largest ICC profile a JPEG can carry (255 chunks,
// 16 MB) still fits beside an EXIF block and an extended XMP packet.
constexpr std::size_t MaxKeptSegments = 1024;
constexpr std::size_t MaxKeptBytes = std::size_t(32) << 20;

struct DecodeTarget {
    Bitmap picture;
    PictureMetadata metadata;
    std::size_t keptBytes = 0, droppedSegments = 0, droppedBytes = 0;
    std::exception_ptr failure;
};

void KeepSegment(void* context, int marker, const std::uint8_t* bytes, std::size_t size) {
    auto* target = static_cast<DecodeTarget*>(context);
    std::vector<MetadataSegment>& kept = target->metadata.Segments;
    if (target->failure || kept.size() == MaxKeptSegments || size > MaxKeptBytes - target->keptBytes) {
        ++target->droppedSegments;
        target->droppedBytes += size;
        return;
    }
    try {
        kept.push_back({std::uint8_t(marker), std::vector<std::uint8_t>(bytes, bytes + size)});
        target->keptBytes += size;
    } catch (...) {
        target->failure = std::current_exception();
    }
}

void KeepResolution(void* context, const jpeg_decompress_struct& cinfo) {
    auto* target = static_cast<DecodeTarget*>(context);
    if (cinfo.saw_JFIF_marker && (cinfo.density_unit == 1 || cinfo.density_unit == 2) && cinfo.X_density > 0 &&
        cinfo.Y_density > 0) {
        const double perInch = cinfo.density_unit == 2 ? 2.54 : 1.0;
        target->metadata.ResolutionX = cinfo.X_density * perInch;
        target->metadata.ResolutionY = cinfo.Y_density * perInch;
    }
}

std::uint8_t* SizeTarget(void* context, int width, int height) {
    auto* target = static_cast<DecodeTarget*>(context);
    return SizeForDecoder(target->picture, target->failure, width, height);
}

// ---- Encoding -------------------------------------------------------------------------

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

// libjpeg's fatal errors as exceptions; the ones a user can act on say why in words.
[[noreturn]] void ThrowJpegError(int code) {
    if (code == JERR_IMAGE_TOO_BIG) throw EJpegError(code, LargestJpegMessage);
    throw EJpegError(code);
}
}  // namespace

namespace {
Bitmap Decode(const std::uint8_t* data, std::size_t size, PictureMetadata* metadata, const ProgressCallback& progress,
              MetadataWarnings* warnings) {
    DecodeTarget target;
    RowProgress rowProgress(progress);
    DecodeSession session{};
    session.Data = data;
    session.Size = size;
    session.RowsFor = SizeTarget;
    session.OnSegment = metadata ? KeepSegment : nullptr;
    session.OnHeader = metadata ? KeepResolution : nullptr;
    session.Context = &target;
    session.Monitor.progress = &rowProgress;
    const Outcome outcome = RunDecoder(session);
    if (rowProgress.Stopped()) rowProgress.ThrowStop();
    switch (outcome) {
        case Outcome::Done:
            if (target.droppedSegments > 0 && warnings)
                warnings->push_back(std::to_string(target.droppedSegments) + " metadata segments (" +
                                    std::to_string(target.droppedBytes) + " bytes) past the first " +
                                    std::to_string(MaxKeptSegments) + " segments or " +
                                    std::to_string(MaxKeptBytes >> 20) + " MB were left out.");
            if (metadata) *metadata = std::move(target.metadata);
            return std::move(target.picture);
        case Outcome::Refused: std::rethrow_exception(target.failure);
        case Outcome::TooManyScans:
            throw EInvalidGraphic("The JPEG file has more than " + std::to_string(MaxScans) +
                                  " scans; it is refused as damaged.");
        case Outcome::TooMuchWork:
            throw EInvalidGraphic(
                "The JPEG file's scans ask for far more decoding than its size holds data for; "
                "it is refused as damaged.");
        default: ThrowJpegError(session.ErrorCode);
    }
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

Bitmap DecodeJpeg(const std::uint8_t* data, std::size_t size) { return Decode(data, size, nullptr, {}, nullptr); }

Bitmap DecodeJpeg(const std::uint8_t* data, std::size_t size, PictureMetadata& metadata,
                  const ProgressCallback& progress, MetadataWarnings* warnings) {
    return Decode(data, size, &metadata, progress, warnings);
}

std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality) {
    return Encode(picture, quality, nullptr, {}, nullptr);
}

std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality, const PictureMetadata& metadata,
                                     const ProgressCallback& progress, MetadataWarnings* warnings) {
    const PictureMetadata fitted = MetadataForSavedPicture(metadata, picture.Width(), picture.Height());
    return Encode(picture, quality, &fitted, progress, warnings);
}
