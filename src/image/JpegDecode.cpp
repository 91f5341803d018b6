#include "image/Jpeg.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include <jerror.h>

#include "common/Errors.h"
#include "image/DecoderPicture.h"
#include "image/JpegSession.h"
#include "image/RowProgress.h"

namespace {
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
    RowProgress* Progress;
    int Passes;                          // over the rows: 2 when a file of several scans is read whole first, else 1
    int Scan;                            // the last scan counted
    std::int64_t Blocks, AllowedBlocks;  // visited by the scans so far; what the file pays for
    Outcome Refusal;
};

void MonitorDecoder(j_common_ptr cinfo) {
    auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* monitor = reinterpret_cast<DecoderMonitor*>(cinfo->progress);
    if (dinfo->input_scan_number != monitor->Scan) {
        monitor->Scan = dinfo->input_scan_number;
        monitor->Blocks += std::int64_t(dinfo->MCUs_per_row) * dinfo->MCU_rows_in_scan * dinfo->blocks_in_MCU;
        if (monitor->Scan > MaxScans) monitor->Refusal = Outcome::TooManyScans;
        if (monitor->Blocks > monitor->AllowedBlocks) monitor->Refusal = Outcome::TooMuchWork;
        if (monitor->Refusal != Outcome::Done) JumpToHandler(cinfo);
    }
    // libjpeg counts iMCU rows against a guessed number of scans while it reads a file of
    // several, then output rows; both become rows of one pass. RowProgress keeps the count
    // from going down when the guess is raised.
    const jpeg_progress_mgr& p = monitor->pub;
    const std::int64_t rows = dinfo->image_height;
    const std::int64_t pass = std::clamp(p.completed_passes, 0, monitor->Passes - 1);
    const std::int64_t within =
        p.pass_limit > 0 ? rows * std::clamp(p.pass_counter, 0L, p.pass_limit) / p.pass_limit : 0;
    if (!monitor->Progress->Report(pass * rows + within, monitor->Passes * rows)) JumpToHandler(cinfo);
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
        return s.Monitor.Refusal != Outcome::Done ? s.Monitor.Refusal : Outcome::LibraryError;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.client_data = &s;
    s.Monitor.pub.progress_monitor = MonitorDecoder;
    s.Monitor.Refusal = Outcome::Done;
    s.Monitor.Passes = 1;
    s.Monitor.Scan = 0;
    s.Monitor.Blocks = 0;
    s.Monitor.AllowedBlocks = 0;
    cinfo.progress = &s.Monitor.pub;
    jpeg_mem_src(&cinfo, s.Data, static_cast<unsigned long>(s.Size));
    if (s.OnSegment)
        for (int marker = JPEG_APP0; marker <= JPEG_COM; ++marker)
            if (IsCarriedMarker(marker)) jpeg_set_marker_processor(&cinfo, marker, ReadCarriedSegment);
    s.InHeader = true;
    jpeg_read_header(&cinfo, TRUE);
    s.InHeader = false;
    if (s.OnHeader) s.OnHeader(s.Context, cinfo);
    s.Monitor.Passes = jpeg_has_multiple_scans(&cinfo) ? 2 : 1;
    s.Monitor.AllowedBlocks = FreeBlocks + std::int64_t(s.Size) * BlocksPerFileByte;

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
    const std::int64_t rowsInAll = std::int64_t(s.Monitor.Passes) * cinfo.image_height;
    if (!s.Monitor.Progress->Report(rowsInAll, rowsInAll)) JumpToHandler(reinterpret_cast<j_common_ptr>(&cinfo));
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
    Bitmap Picture;
    PictureMetadata Metadata;
    std::size_t KeptBytes = 0, DroppedSegments = 0, DroppedBytes = 0;
    std::exception_ptr Failure;
};

void KeepSegment(void* context, int marker, const std::uint8_t* bytes, std::size_t size) {
    auto* target = static_cast<DecodeTarget*>(context);
    std::vector<MetadataSegment>& kept = target->Metadata.Segments;
    if (target->Failure || kept.size() == MaxKeptSegments || size > MaxKeptBytes - target->KeptBytes) {
        ++target->DroppedSegments;
        target->DroppedBytes += size;
        return;
    }
    try {
        kept.push_back({std::uint8_t(marker), std::vector<std::uint8_t>(bytes, bytes + size)});
        target->KeptBytes += size;
    } catch (...) {
        target->Failure = std::current_exception();
    }
}

void KeepResolution(void* context, const jpeg_decompress_struct& cinfo) {
    auto* target = static_cast<DecodeTarget*>(context);
    if (cinfo.saw_JFIF_marker && (cinfo.density_unit == 1 || cinfo.density_unit == 2) && cinfo.X_density > 0 &&
        cinfo.Y_density > 0) {
        const double perInch = cinfo.density_unit == 2 ? 2.54 : 1.0;
        target->Metadata.ResolutionX = cinfo.X_density * perInch;
        target->Metadata.ResolutionY = cinfo.Y_density * perInch;
    }
}

std::uint8_t* SizeTarget(void* context, int width, int height) {
    auto* target = static_cast<DecodeTarget*>(context);
    return SizeForDecoder(target->Picture, target->Failure, width, height);
}

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
    session.Monitor.Progress = &rowProgress;
    const Outcome outcome = RunDecoder(session);
    if (rowProgress.Stopped()) rowProgress.ThrowStop();
    switch (outcome) {
        case Outcome::Done:
            if (target.DroppedSegments > 0 && warnings)
                warnings->push_back(std::to_string(target.DroppedSegments) + " metadata segments (" +
                                    std::to_string(target.DroppedBytes) + " bytes) past the first " +
                                    std::to_string(MaxKeptSegments) + " segments or " +
                                    std::to_string(MaxKeptBytes >> 20) + " MB were left out.");
            if (metadata) *metadata = std::move(target.Metadata);
            return std::move(target.Picture);
        case Outcome::Refused: std::rethrow_exception(target.Failure);
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
}  // namespace

Bitmap DecodeJpeg(const std::uint8_t* data, std::size_t size) { return Decode(data, size, nullptr, {}, nullptr); }

Bitmap DecodeJpeg(const std::uint8_t* data, std::size_t size, PictureMetadata& metadata,
                  const ProgressCallback& progress, MetadataWarnings* warnings) {
    return Decode(data, size, &metadata, progress, warnings);
}
