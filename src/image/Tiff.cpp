#include "image/Tiff.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

#include <tiffio.h>

#include "common/Errors.h"
#include "image/ExifUpright.h"
#include "image/FreeDeleter.h"
#include "image/RowProgress.h"
#include "image/SampleRows.h"
#include "image/TiffExif.h"
#include "image/TiffMetadata.h"
#include "image/TiffStream.h"
#include "image/WhiteBackground.h"

// Reading the first page: the common layouts straight into the picture, every other through
// libtiff's RGBA reader.

namespace {
// The common layouts: grey or RGB, 8 or 16 bits, with or without alpha, samples interleaved.
struct PlainLayout {
    SampleLayout samples;
    const SampleRowConverter* converter = nullptr;

    // One run of stored samples, `count` pixels long, to blue-green-red.
    void Convert(const std::uint8_t* in, std::uint8_t* out, std::uint32_t count) const {
        converter->Convert(in, out, count);
    }
    std::uint64_t PixelBytes() const { return std::uint64_t(samples.Samples()) * (samples.Bits / 8); }
};

// The layout when it is one of the common ones; false for every other.
bool PlainLayoutOf(TIFF* tif, PlainLayout& layout) {
    std::uint16_t photometric = 0, planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT, bits = 0, samples = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
    const int colours = photometric == PHOTOMETRIC_RGB ? 3 : photometric == PHOTOMETRIC_MINISBLACK ? 1 : 0;
    // One sample per pixel is the same picture whatever the planar configuration says.
    if ((planar != PLANARCONFIG_CONTIG && samples > 1) || (bits != 8 && bits != 16) || format != SAMPLEFORMAT_UINT ||
        colours == 0 || samples < colours)
        return false;
    SampleLayout& stored = layout.samples;  // red first, as TIFF stores it
    stored.Colours = colours;
    stored.Bits = bits;
    std::uint16_t extraCount = 0;
    std::uint16_t* extraKinds = nullptr;
    if (samples > colours && TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) && extraCount > 0)
        stored.Alpha = extraKinds[0] == EXTRASAMPLE_ASSOCALPHA   ? AlphaKind::Premultiplied
                        : extraKinds[0] == EXTRASAMPLE_UNASSALPHA ? AlphaKind::Straight
                                                                  : AlphaKind::None;
    stored.Extra = samples - colours - (stored.Alpha == AlphaKind::None ? 0 : 1);
    return true;
}

// A strip or tile too large to hold beside the picture is not read whole.
constexpr std::uint64_t LargestPiece = std::uint64_t(16) << 20;

// Strips read straight into the picture. False, with nothing allocated, when the rows are not
// the size the layout gives.
bool ReadPlainStrips(TIFF* tif, const PlainLayout& layout, std::uint32_t width, std::uint32_t height, Bitmap& picture,
                     const TiffErrorLog& log, RowProgress& progress) {
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
            if (TIFFReadScanline(tif, row.data(), y, 0) < 0) FailTiffRead(log, "a row cannot be read");
            layout.Convert(row.data(), picture.Row(int(y)), width);
            progress.Check(y + 1, height);
        }
        return true;
    }
    std::vector<std::uint8_t> strip(rowBytes * rowsPerStrip);
    for (std::uint32_t y = 0, index = 0; y < height; y += rowsPerStrip, ++index) {
        const std::uint32_t rows = std::min(rowsPerStrip, height - y);
        const tmsize_t wanted = tmsize_t(rowBytes * rows);
        if (TIFFReadEncodedStrip(tif, index, strip.data(), wanted) != wanted) FailTiffRead(log, "a strip cannot be read");
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
                    const TiffErrorLog& log, RowProgress& progress) {
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
                FailTiffRead(log, "a tile cannot be read");
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
bool ReadPlain(TIFF* tif, std::uint32_t width, std::uint32_t height, Bitmap& picture, const TiffErrorLog& log,
               RowProgress& progress) {
    PlainLayout layout;
    if (!PlainLayoutOf(tif, layout)) return false;
    const SampleRowConverter converter(layout.samples);
    layout.converter = &converter;
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
void ReadThroughRgba(TIFF* tif, std::uint32_t width, std::uint32_t height, Bitmap& picture, const TiffErrorLog& log,
                     RowProgress& progress) {
    char reason[1024] = "";
    if (!TIFFRGBAImageOK(tif, reason)) FailTiffRead(log, reason);
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
    if (!TIFFRGBAImageBegin(&image, tif, 0, reason)) FailTiffRead(log, reason);
    const std::unique_ptr<TIFFRGBAImage, RgbaImageEnd> ending(&image);
    image.req_orientation = image.orientation;  // no flips: the orientation is turned later, all at once
    for (std::uint32_t y = 0; y < height; y += bandRows) {
        const std::uint32_t rows = std::min(bandRows, height - y);
        image.row_offset = int(y);
        if (!TIFFRGBAImageGet(&image, raster.get(), width, rows)) FailTiffRead(log, "the pixels cannot be read");
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
    TiffMemory stream;
    stream.data = data;
    stream.size = size;
    TiffErrorLog log{};
    // Opening reads the first directory only; the chain of pages after it is never followed,
    // so a file with thousands of pages, or a chain that loops, costs nothing.
    const TiffFile tif = OpenTiff(stream, log, "r");
    if (!tif) FailTiffRead(log, "not a TIFF file");
    std::uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
        FailTiffRead(log, "the picture has no size");
    CheckPictureSize(width, height);

    StoredTiff result;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
    result.Orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    ReadTiffMetadata(tif.get(), result.Metadata);
    if (!ReadPlain(tif.get(), width, height, result.Picture, log, rowProgress))
        ReadThroughRgba(tif.get(), width, height, result.Picture, log, rowProgress);
    // Last: reading the EXIF directories leaves the first page's behind.
    ReadTiffExif(tif.get(), result.Orientation, width, height, result.Metadata);
    return result;
}

Bitmap DecodeTiff(const std::uint8_t* data, std::size_t size) {
    StoredTiff stored = ReadTiff(data, size);
    return UprightPicture(std::move(stored.Picture), stored.Orientation);
}
