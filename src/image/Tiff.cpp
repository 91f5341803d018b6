#include "Tiff.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include <tiffio.h>

#include "Errors.h"
#include "Exif.h"
#include "ExifUpright.h"
#include "FreeDeleter.h"
#include "RowProgress.h"
#include "WhiteBackground.h"

// libtiff reports errors through handlers and return values, never by jumping, so plain C++
// holds the calls. The handlers are the small C-style functions below: each file gets its
// own, which keeps the first message for the exception.

namespace {
// ---- libtiff's handlers and file procedures --------------------------------------------

struct ErrorLog {
    char message[256];
};

int KeepFirstError(TIFF*, void* userData, const char*, const char* format, va_list arguments) {
    auto* log = static_cast<ErrorLog*>(userData);
    if (log && log->message[0] == '\0') std::vsnprintf(log->message, sizeof log->message, format, arguments);
    return 1;  // handled: nothing printed
}

// Warnings (unknown tags, odd but readable fields) lose nothing the picture needs.
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }
void IgnoreGlobal(const char*, const char*, va_list) {}

// The few messages libtiff gives before a file has its own handlers go nowhere either: a
// desktop program has no terminal to print them on.
void SilenceGlobalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(IgnoreGlobal);
        TIFFSetWarningHandler(IgnoreGlobal);
    });
}

// A file in memory: read in place, or grown as it is written.
struct MemoryStream {
    const std::uint8_t* data = nullptr;          // reading
    std::vector<std::uint8_t>* grown = nullptr;  // writing
    std::uint64_t size = 0, position = 0;
};

MemoryStream& StreamOf(thandle_t handle) { return *static_cast<MemoryStream*>(handle); }

tmsize_t ReadStream(thandle_t handle, void* into, tmsize_t count) {
    MemoryStream& s = StreamOf(handle);
    const std::uint8_t* bytes = s.grown ? s.grown->data() : s.data;
    if (count < 0 || s.position >= s.size) return 0;
    const std::uint64_t n = std::min<std::uint64_t>(std::uint64_t(count), s.size - s.position);
    std::memcpy(into, bytes + s.position, n);
    s.position += n;
    return tmsize_t(n);
}

tmsize_t WriteStream(thandle_t handle, void* from, tmsize_t count) {
    MemoryStream& s = StreamOf(handle);
    if (!s.grown || count < 0) return 0;
    try {
        const std::uint64_t end = s.position + std::uint64_t(count);
        if (end > s.grown->size()) s.grown->resize(std::max<std::size_t>(end, s.grown->size() * 2));
        std::memcpy(s.grown->data() + s.position, from, std::size_t(count));
        s.position = end;
        s.size = std::max(s.size, end);
        return count;
    } catch (const std::bad_alloc&) {
        return 0;  // libtiff reports the short write
    }
}

toff_t SeekStream(thandle_t handle, toff_t offset, int whence) {
    MemoryStream& s = StreamOf(handle);
    const std::uint64_t base = whence == SEEK_CUR ? s.position : whence == SEEK_END ? s.size : 0;
    s.position = base + offset;
    return s.position;
}

int CloseStream(thandle_t) { return 0; }
toff_t SizeOfStream(thandle_t handle) { return StreamOf(handle).size; }

// Reading maps the memory itself, so that libtiff decodes strips in place instead of copying.
int MapStream(thandle_t handle, void** base, toff_t* size) {
    MemoryStream& s = StreamOf(handle);
    if (s.grown) return 0;
    *base = const_cast<std::uint8_t*>(s.data);
    *size = s.size;
    return 1;
}
void UnmapStream(thandle_t, void*, toff_t) {}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

TiffFile OpenStream(MemoryStream& stream, ErrorLog& log, const char* mode) {
    SilenceGlobalHandlers();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) throw std::bad_alloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, KeepFirstError, &log);
    TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, nullptr);
    TIFF* tif = TIFFClientOpenExt("picture", mode, &stream, ReadStream, WriteStream, SeekStream, CloseStream,
                                  SizeOfStream, MapStream, UnmapStream, options);
    TIFFOpenOptionsFree(options);
    return TiffFile(tif);
}

[[noreturn]] void Fail(const ErrorLog& log, const char* otherwise) {
    throw EPictureFileInvalid(std::string("The TIFF file is not valid: ") + (log.message[0] ? log.message : otherwise));
}

[[noreturn]] void FailWriting(const ErrorLog& log, const char* otherwise) {
    throw EPictureFileInvalid(std::string("The TIFF file cannot be written: ") +
                              (log.message[0] ? log.message : otherwise));
}

// ---- Reading ---------------------------------------------------------------------------

// Dots per inch from the resolution tags, or 0.
void ReadResolution(TIFF* tif, PictureMetadata& metadata) {
    float x = 0, y = 0;
    std::uint16_t unit = RESUNIT_INCH;
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) return;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!(x > 0 && y > 0 && std::isfinite(x) && std::isfinite(y)) || unit == RESUNIT_NONE) return;
    const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    metadata.ResolutionX = x * perInch;
    metadata.ResolutionY = y * perInch;
}

void ReadIccProfile(TIFF* tif, PictureMetadata& metadata) {
    std::uint32_t size = 0;
    void* profile = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &profile) && profile && size > 0) {
        std::vector<MetadataSegment> segments = IccSegments(static_cast<const std::uint8_t*>(profile), size);
        metadata.Segments.insert(metadata.Segments.end(), segments.begin(), segments.end());
    }
}

// ---- EXIF --------------------------------------------------------------------------------

// The simplest fraction within the precision libtiff kept the rational in (a float or a
// double), found by continued fractions, so that 1/125 stored as 0.008 is 1/125 again.
// False when the value has no fraction of 32-bit parts.
bool FractionOf(double value, bool inFloat, bool isSigned, std::int64_t& numerator, std::int64_t& denominator) {
    const double largest = isSigned ? 2147483647.0 : 4294967295.0;
    const double x = std::fabs(value);
    if (!std::isfinite(value) || x > largest || (value < 0 && !isSigned)) return false;
    const double tolerance = x * (inFloat ? 1e-7 : 1e-14);
    std::int64_t h0 = 0, h1 = 1, k0 = 1, k1 = 0;  // the last two convergents h/k
    double rest = x;
    for (int step = 0; step < 64; ++step) {
        const double whole = std::floor(rest);
        const std::int64_t h2 = std::int64_t(whole) * h1 + h0, k2 = std::int64_t(whole) * k1 + k0;
        if (double(h2) > largest || double(k2) > largest) break;
        h0 = h1, h1 = h2, k0 = k1, k1 = k2;
        if (std::fabs(double(h1) / double(k1) - x) <= tolerance || rest - whole < 1e-300) break;
        rest = 1 / (rest - whole);
    }
    if (k1 == 0) return false;
    numerator = value < 0 ? -h1 : h1;
    denominator = k1;
    return true;
}

// The values of a tag in the current EXIF or GPS directory as libtiff gives them, which its
// field description decides: a count passed with the values, text, one value, or a fixed
// number of them. False when the tag is not there or its type has no EXIF form.
bool ReadExifField(TIFF* tif, std::uint32_t tag, ExifField& field) {
    const TIFFField* info = TIFFFieldWithTag(tif, tag);
    if (!info) return false;
    const TIFFDataType type = TIFFFieldDataType(info);
    const int readCount = TIFFFieldReadCount(info);
    std::uint32_t count = 0;
    const void* values = nullptr;
    alignas(8) unsigned char single[8] = {};
    if (TIFFFieldPassCount(info)) {
        if (readCount == TIFF_VARIABLE2) {
            if (!TIFFGetField(tif, tag, &count, &values)) return false;
        } else {
            std::uint16_t shortCount = 0;
            if (!TIFFGetField(tif, tag, &shortCount, &values)) return false;
            count = shortCount;
        }
    } else if (type == TIFF_ASCII) {
        const char* text = nullptr;
        if (!TIFFGetField(tif, tag, &text) || !text) return false;
        values = text;
        count = std::uint32_t(std::strlen(text) + 1);
    } else if (readCount == 1) {
        if (!TIFFGetField(tif, tag, single)) return false;
        values = single;
        count = 1;
    } else if (readCount > 1) {
        if (!TIFFGetField(tif, tag, &values)) return false;
        count = std::uint32_t(readCount);
    }
    // A JPEG segment holds 64 KB for the whole block; a field of more values cannot go with it.
    constexpr std::uint32_t LargestField = 65535;
    const int size = TIFFFieldSetGetSize(info);
    if (!values || count == 0 || count > LargestField) return false;
    auto take = [&](auto sample) {
        using Sample = decltype(sample);
        if (size != int(sizeof(Sample))) return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::memcpy(&sample, static_cast<const unsigned char*>(values) + i * sizeof(Sample), sizeof(Sample));
            field.Values.push_back(std::int64_t(sample));
        }
        return true;
    };
    field.Tag = std::uint16_t(tag);
    field.Type = std::uint16_t(type);
    field.Values.clear();
    switch (type) {
        case TIFF_BYTE:
        case TIFF_ASCII:
        case TIFF_UNDEFINED: return take(std::uint8_t{});
        case TIFF_SBYTE: return take(std::int8_t{});
        case TIFF_SHORT: return take(std::uint16_t{});
        case TIFF_SSHORT: return take(std::int16_t{});
        case TIFF_LONG: return take(std::uint32_t{});
        case TIFF_SLONG: return take(std::int32_t{});
        case TIFF_RATIONAL:
        case TIFF_SRATIONAL: {
            if (size != 4 && size != 8) return false;
            for (std::uint32_t i = 0; i < count; ++i) {
                const unsigned char* at = static_cast<const unsigned char*>(values) + i * std::size_t(size);
                double value = 0;
                if (size == 4) {
                    float f = 0;
                    std::memcpy(&f, at, 4);
                    value = f;
                } else {
                    std::memcpy(&value, at, 8);
                }
                std::int64_t numerator = 0, denominator = 1;
                if (!FractionOf(value, size == 4, type == TIFF_SRATIONAL, numerator, denominator)) return false;
                field.Values.push_back(numerator);
                field.Values.push_back(denominator);
            }
            return true;
        }
        default: return false;
    }
}

// The bytes a field takes in an EXIF block: its directory entry and its values.
std::size_t BytesInBlock(const ExifField& field) {
    const std::size_t perValue = field.Type == TIFF_SHORT || field.Type == TIFF_SSHORT ? 2
                                 : field.Type == TIFF_LONG || field.Type == TIFF_SLONG || field.Type == TIFF_RATIONAL ||
                                         field.Type == TIFF_SRATIONAL
                                     ? 4
                                     : 1;
    return 12 + field.Values.size() * perValue;
}

// A TIFF from a camera or a raw converter keeps its EXIF in directories of its own. They are
// made into an EXIF block, as a JPEG carries it, so that a JPEG saved from the picture keeps
// the date taken, the camera and the exposure. With the picture's descriptive tags and its
// orientation; the pixel dimensions are the picture's; there is no thumbnail. Only done when
// the file has an EXIF or GPS directory. A damaged directory loses its fields, not the picture.
void ReadExifBlock(TIFF* tif, int orientation, std::uint32_t width, std::uint32_t height, PictureMetadata& metadata) {
    toff_t exifAt = 0, gpsAt = 0;
    TIFFGetField(tif, TIFFTAG_EXIFIFD, &exifAt);
    TIFFGetField(tif, TIFFTAG_GPSIFD, &gpsAt);
    if (exifAt == 0 && gpsAt == 0) return;
    // One JPEG segment holds the block: a field that does not fit beside those before it is
    // left out (a large maker note, say), so the rest still goes with the picture. This also
    // bounds what is copied from a hostile directory of thousands of large fields.
    constexpr std::size_t Room = 65000;
    std::size_t used = 0;
    std::vector<ExifField> fields;
    auto add = [&](ExifField field) {
        const std::size_t bytes = BytesInBlock(field);
        if (used + bytes > Room) return;
        used += bytes;
        fields.push_back(std::move(field));
    };
    add({ExifField::Picture, TIFFTAG_ORIENTATION, TIFF_SHORT, {orientation}});
    add({ExifField::Exif, EXIFTAG_PIXELXDIMENSION, TIFF_LONG, {width}});
    add({ExifField::Exif, EXIFTAG_PIXELYDIMENSION, TIFF_LONG, {height}});
    for (const std::uint32_t tag : {TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_MAKE, TIFFTAG_MODEL, TIFFTAG_SOFTWARE,
                                    TIFFTAG_DATETIME, TIFFTAG_ARTIST, TIFFTAG_COPYRIGHT}) {
        const char* text = nullptr;
        if (!TIFFGetField(tif, tag, &text) || !text) continue;
        const std::size_t length = std::strlen(text) + 1;
        if (used + 12 + length <= Room)
            add({ExifField::Picture, std::uint16_t(tag), TIFF_ASCII, std::vector<std::int64_t>(text, text + length)});
    }
    auto readDirectory = [&](ExifField::Directory place) {
        for (int i = 0, n = TIFFGetTagListCount(tif); i < n; ++i) {
            ExifField field;
            field.Place = place;
            const std::uint32_t tag = TIFFGetTagListEntry(tif, i);
            // The dimensions are the picture's (above); libexif makes the directory pointers.
            if (tag == EXIFTAG_PIXELXDIMENSION || tag == EXIFTAG_PIXELYDIMENSION ||
                tag == TIFFTAG_INTEROPERABILITYIFD || tag > 0xFFFF)
                continue;
            if (ReadExifField(tif, tag, field)) add(std::move(field));
        }
    };
    if (exifAt != 0 && TIFFReadEXIFDirectory(tif, exifAt)) readDirectory(ExifField::Exif);
    if (gpsAt != 0 && TIFFReadGPSDirectory(tif, gpsAt)) readDirectory(ExifField::Gps);
    std::vector<std::uint8_t> block = MakeExifBlock(fields);
    if (!block.empty())
        metadata.Segments.insert(metadata.Segments.begin(), MetadataSegment{MarkerApp1, std::move(block)});
}

enum class Alpha { None, Straight, Premultiplied };

// One row of grey or RGB samples, with or without alpha, to blue-green-red. The layout is
// fixed at compile time, so that the common 8-bit RGB row is a plain byte shuffle.
template <typename Sample, int Colours, Alpha Kind>
void ConvertRowAs(const Sample* in, std::uint8_t* out, std::uint32_t width, int samples) {
    auto level = [](Sample v) -> unsigned {
        if constexpr (sizeof(Sample) == 1)
            return v;
        else
            return Reduce16To8(v);
    };
    for (std::uint32_t x = 0; x < width; ++x, in += samples, out += 3) {
        const unsigned r = level(in[0]);
        const unsigned g = Colours == 3 ? level(in[1]) : r;
        const unsigned b = Colours == 3 ? level(in[2]) : r;
        if constexpr (Kind == Alpha::None) {
            out[0] = std::uint8_t(b), out[1] = std::uint8_t(g), out[2] = std::uint8_t(r);
        } else {
            const unsigned a = level(in[Colours]);
            constexpr auto over = Kind == Alpha::Straight ? OverWhite : PremultipliedOverWhite;
            out[0] = over(b, a), out[1] = over(g, a), out[2] = over(r, a);
        }
    }
}

template <typename Sample, int Colours>
void ConvertRowWith(const Sample* in, std::uint8_t* out, std::uint32_t width, int samples, Alpha alpha) {
    switch (alpha) {
        case Alpha::None: return ConvertRowAs<Sample, Colours, Alpha::None>(in, out, width, samples);
        case Alpha::Straight: return ConvertRowAs<Sample, Colours, Alpha::Straight>(in, out, width, samples);
        case Alpha::Premultiplied: return ConvertRowAs<Sample, Colours, Alpha::Premultiplied>(in, out, width, samples);
    }
}

template <typename Sample>
void ConvertRow(const Sample* in, std::uint8_t* out, std::uint32_t width, int samples, int colours, Alpha alpha) {
    if (colours == 3)
        ConvertRowWith<Sample, 3>(in, out, width, samples, alpha);
    else
        ConvertRowWith<Sample, 1>(in, out, width, samples, alpha);
}

// The common layouts: grey or RGB, 8 or 16 bits, with or without alpha, samples interleaved.
struct PlainLayout {
    std::uint16_t bits = 0, samples = 0;
    int colours = 0;
    Alpha alpha = Alpha::None;

    // One run of stored samples, `count` pixels long, to blue-green-red.
    void Convert(const std::uint8_t* in, std::uint8_t* out, std::uint32_t count) const {
        if (bits == 8)
            ConvertRow(in, out, count, samples, colours, alpha);
        else
            ConvertRow(reinterpret_cast<const std::uint16_t*>(in), out, count, samples, colours, alpha);
    }
    std::uint64_t PixelBytes() const { return std::uint64_t(samples) * (bits / 8); }
};

// The layout when it is one of the common ones; false for every other.
bool PlainLayoutOf(TIFF* tif, PlainLayout& layout) {
    std::uint16_t photometric = 0, planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &layout.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
    layout.colours = photometric == PHOTOMETRIC_RGB ? 3 : photometric == PHOTOMETRIC_MINISBLACK ? 1 : 0;
    // One sample per pixel is the same picture whatever the planar configuration says.
    if ((planar != PLANARCONFIG_CONTIG && layout.samples > 1) || (layout.bits != 8 && layout.bits != 16) ||
        format != SAMPLEFORMAT_UINT || layout.colours == 0 || layout.samples < layout.colours)
        return false;
    std::uint16_t extraCount = 0;
    std::uint16_t* extraKinds = nullptr;
    if (layout.samples > layout.colours && TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) &&
        extraCount > 0)
        layout.alpha = extraKinds[0] == EXTRASAMPLE_ASSOCALPHA   ? Alpha::Premultiplied
                       : extraKinds[0] == EXTRASAMPLE_UNASSALPHA ? Alpha::Straight
                                                                 : Alpha::None;
    return true;
}

// A strip or tile too large to hold beside the picture is not read whole.
constexpr std::uint64_t LargestPiece = std::uint64_t(16) << 20;

// Strips read straight into the picture. False, with nothing allocated, when the rows are not
// the size the layout gives.
bool ReadPlainStrips(TIFF* tif, const PlainLayout& layout, std::uint32_t width, std::uint32_t height, Bitmap& picture,
                     const ErrorLog& log, RowProgress& progress) {
    const std::uint64_t rowBytes = std::uint64_t(width) * layout.PixelBytes();
    if (std::uint64_t(TIFFScanlineSize64(tif)) != rowBytes) return false;
    picture.SetSize(int(width), int(height));
    // Whole strips let libtiff hand a Deflate strip to libdeflate, several times faster than
    // zlib a row at a time. A strip too large to hold beside the picture is read by rows.
    std::uint32_t rowsPerStrip = height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, height);
    if (rowBytes * rowsPerStrip > LargestPiece) {
        std::vector<std::uint8_t> row(rowBytes);
        for (std::uint32_t y = 0; y < height; ++y) {
            if (TIFFReadScanline(tif, row.data(), y, 0) < 0) Fail(log, "a row cannot be read");
            layout.Convert(row.data(), picture.Row(int(y)), width);
            progress.Check(y + 1, height);
        }
        return true;
    }
    std::vector<std::uint8_t> strip(rowBytes * rowsPerStrip);
    for (std::uint32_t y = 0, index = 0; y < height; y += rowsPerStrip, ++index) {
        const std::uint32_t rows = std::min(rowsPerStrip, height - y);
        const tmsize_t wanted = tmsize_t(rowBytes * rows);
        if (TIFFReadEncodedStrip(tif, index, strip.data(), wanted) != wanted) Fail(log, "a strip cannot be read");
        for (std::uint32_t r = 0; r < rows; ++r)
            layout.Convert(strip.data() + r * rowBytes, picture.Row(int(y + r)), width);
        progress.Check(y + rows, height);
    }
    return true;
}

// Tiles decoded one at a time, the part of each inside the picture converted into place (the
// tiles along the right and bottom edges reach past it). False, with nothing allocated, for
// tiles that are not the size the layout gives, or too large to hold beside the picture.
bool ReadPlainTiles(TIFF* tif, const PlainLayout& layout, std::uint32_t width, std::uint32_t height, Bitmap& picture,
                    const ErrorLog& log, RowProgress& progress) {
    std::uint32_t tileWidth = 0, tileLength = 0;
    if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth) || !TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength) ||
        tileWidth == 0 || tileLength == 0)
        return false;
    const std::uint64_t tileRowBytes = std::uint64_t(tileWidth) * layout.PixelBytes();
    const std::uint64_t tileBytes = tileRowBytes * tileLength;
    if (std::uint64_t(TIFFTileSize64(tif)) != tileBytes || tileBytes > LargestPiece) return false;
    picture.SetSize(int(width), int(height));
    std::vector<std::uint8_t> tile(tileBytes);
    for (std::uint32_t y = 0; y < height; y += tileLength) {
        const std::uint32_t rows = std::min(tileLength, height - y);
        for (std::uint32_t x = 0; x < width; x += tileWidth) {
            const std::uint32_t columns = std::min(tileWidth, width - x);
            if (TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x, y, 0, 0), tile.data(), tmsize_t(tileBytes)) !=
                tmsize_t(tileBytes))
                Fail(log, "a tile cannot be read");
            for (std::uint32_t r = 0; r < rows; ++r)
                layout.Convert(tile.data() + r * tileRowBytes, picture.Pixel(int(x), int(y + r)), columns);
        }
        progress.Check(y + rows, height);
    }
    return true;
}

// The common layouts, read straight into the picture with our own rounding of 16-bit samples
// (libtiff's RGBA reader rounds 16-bit grey differently). False, with nothing allocated, for
// every other layout.
bool ReadPlain(TIFF* tif, std::uint32_t width, std::uint32_t height, Bitmap& picture, const ErrorLog& log,
               RowProgress& progress) {
    PlainLayout layout;
    if (!PlainLayoutOf(tif, layout)) return false;
    return TIFFIsTiled(tif) ? ReadPlainTiles(tif, layout, width, height, picture, log, progress)
                            : ReadPlainStrips(tif, layout, width, height, picture, log, progress);
}

struct RgbaImageEnd {
    void operator()(TIFFRGBAImage* image) const { TIFFRGBAImageEnd(image); }
};

// Every other layout through libtiff's RGBA reader: palette, bilevel, YCbCr, CMYK, tiles,
// separate planes, low bit depths. Its rows come in the stored order, alpha premultiplied.
// Read a band of whole strips or tile rows at a time, as libtiff's own TIFFReadRGBAStrip does,
// so that each piece is decoded once and the raster holds one band, not the whole picture.
void ReadThroughRgba(TIFF* tif, std::uint32_t width, std::uint32_t height, Bitmap& picture, const ErrorLog& log,
                     RowProgress& progress) {
    char reason[1024] = "";
    if (!TIFFRGBAImageOK(tif, reason)) Fail(log, reason);
    std::uint32_t bandRows = height;
    if (TIFFIsTiled(tif))
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &bandRows);
    else
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &bandRows);
    bandRows = std::clamp<std::uint32_t>(bandRows, 1, height);
    picture.SetSize(int(width), int(height));
    const std::unique_ptr<std::uint32_t, FreeDeleter> raster(
        static_cast<std::uint32_t*>(std::malloc(std::size_t(width) * bandRows * sizeof(std::uint32_t))));
    if (!raster) throw std::bad_alloc();
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageBegin(&image, tif, 0, reason)) Fail(log, reason);
    const std::unique_ptr<TIFFRGBAImage, RgbaImageEnd> ending(&image);
    image.req_orientation = image.orientation;  // no flips: the orientation is turned later, all at once
    for (std::uint32_t y = 0; y < height; y += bandRows) {
        const std::uint32_t rows = std::min(bandRows, height - y);
        image.row_offset = int(y);
        if (!TIFFRGBAImageGet(&image, raster.get(), width, rows)) Fail(log, "the pixels cannot be read");
        const std::uint32_t* in = raster.get();
        for (std::uint32_t r = 0; r < rows; ++r) {
            std::uint8_t* out = picture.Row(int(y + r));
            for (std::uint32_t x = 0; x < width; ++x, ++in, out += 3) {
                const unsigned a = TIFFGetA(*in);
                out[0] = PremultipliedOverWhite(TIFFGetB(*in), a);
                out[1] = PremultipliedOverWhite(TIFFGetG(*in), a);
                out[2] = PremultipliedOverWhite(TIFFGetR(*in), a);
            }
        }
        progress.Check(y + rows, height);
    }
}
}  // namespace

StoredTiff ReadTiff(const std::uint8_t* data, std::size_t size, const ProgressCallback& progress) {
    RowProgress rowProgress(progress);
    MemoryStream stream;
    stream.data = data;
    stream.size = size;
    ErrorLog log{};
    // Opening reads the first directory only; the chain of pages after it is never followed,
    // so a file with thousands of pages, or a chain that loops, costs nothing.
    const TiffFile tif = OpenStream(stream, log, "r");
    if (!tif) Fail(log, "not a TIFF file");
    std::uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
        Fail(log, "the picture has no size");
    CheckPictureSize(width, height);

    StoredTiff result;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
    result.Orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    ReadResolution(tif.get(), result.Metadata);
    ReadIccProfile(tif.get(), result.Metadata);
    if (!ReadPlain(tif.get(), width, height, result.Picture, log, rowProgress))
        ReadThroughRgba(tif.get(), width, height, result.Picture, log, rowProgress);
    // Last: reading the EXIF directories leaves the first page's behind.
    ReadExifBlock(tif.get(), result.Orientation, width, height, result.Metadata);
    return result;
}

Bitmap DecodeTiff(const std::uint8_t* data, std::size_t size) {
    StoredTiff stored = ReadTiff(data, size);
    return UprightPicture(std::move(stored.Picture), stored.Orientation);
}

std::vector<std::uint8_t> EncodeTiff(const Bitmap& picture, const PictureMetadata& metadata,
                                     const ProgressCallback& progress) {
    RowProgress rowProgress(progress);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(picture.RowBytes() * std::size_t(picture.Height()) / 2 + 4096);
    MemoryStream stream;
    stream.grown = &bytes;
    ErrorLog log{};
    {
        // "l": little-endian, as most TIFF files are.
        const TiffFile tif = OpenStream(stream, log, "wl");
        if (!tif) FailWriting(log, "it cannot be started");
        const std::uint32_t width = std::uint32_t(picture.Width()), height = std::uint32_t(picture.Height());
        const std::size_t rowBytes = picture.RowBytes();
        // Strips of about 256 KB: few enough to keep the directory small, small enough to
        // decode a piece at a time.
        const std::uint32_t rowsPerStrip =
            std::uint32_t(std::max<std::size_t>(1, (std::size_t(1) << 18) / std::max<std::size_t>(rowBytes, 1)));
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        const int stored = metadata.StoredOrientation;
        TIFFSetField(tif.get(), TIFFTAG_ORIENTATION, stored >= 1 && stored <= 8 ? stored : ORIENTATION_TOPLEFT);
        TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tif.get(), TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
        if (metadata.ResolutionX > 0 && metadata.ResolutionY > 0) {
            TIFFSetField(tif.get(), TIFFTAG_XRESOLUTION, float(metadata.ResolutionX));
            TIFFSetField(tif.get(), TIFFTAG_YRESOLUTION, float(metadata.ResolutionY));
            TIFFSetField(tif.get(), TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        }
        // Whole strips, so that libtiff compresses each with libdeflate in one call, several
        // times faster than zlib a row at a time.
        std::vector<std::uint8_t> strip(rowBytes * rowsPerStrip);
        for (std::uint32_t y = 0, index = 0; y < height; y += rowsPerStrip, ++index) {
            const std::uint32_t rows = std::min(rowsPerStrip, height - y);
            for (std::uint32_t r = 0; r < rows; ++r) {
                const std::uint8_t* in = picture.Row(int(y + r));
                std::uint8_t* out = strip.data() + r * rowBytes;
                for (std::size_t i = 0; i < rowBytes; i += 3) {
                    out[i] = in[i + 2];
                    out[i + 1] = in[i + 1];
                    out[i + 2] = in[i];
                }
            }
            if (TIFFWriteEncodedStrip(tif.get(), index, strip.data(), tmsize_t(rows * rowBytes)) < 0)
                FailWriting(log, "a strip cannot be written");
            rowProgress.Check(y + rows, height);
        }
        if (!TIFFFlush(tif.get())) FailWriting(log, "it cannot be finished");
    }
    if (log.message[0]) FailWriting(log, "");
    bytes.resize(std::size_t(stream.size));
    return bytes;
}
