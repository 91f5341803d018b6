#include "image/Tiff.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include <tiffio.h>

#include "image/Exif.h"
#include "image/MetadataBlocks.h"
#include "image/RowProgress.h"
#include "image/TiffExif.h"
#include "image/TiffMetadata.h"
#include "image/TiffStream.h"

std::vector<std::uint8_t> EncodeTiff(const Bitmap& picture, const PictureMetadata& metadata,
                                     const ProgressCallback& progress) {
    RowProgress rowProgress(progress);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(picture.RowBytes() * std::size_t(picture.Height()) / 2 + 4096);
    TiffMemory stream;
    stream.grown = &bytes;
    TiffErrorLog log{};
    {
        // "l": little-endian, as most TIFF files are.
        const TiffFile tif = OpenTiff(stream, log, "wl");
        if (!tif) FailTiffWrite(log, "it cannot be started");
        // The EXIF and GPS directories go first, for the picture's directory to point to.
        const SavedMetadata blocks = MetadataBlocksForSave(metadata, picture.Width(), picture.Height());
        const std::vector<ExifField> exif = ExifFieldsOf(blocks.Exif);
        const TiffExifPlaces places = WriteTiffExifDirectories(tif.get(), exif, log);
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
        SetTiffMetadata(tif.get(), metadata, blocks);
        SetTiffExifTags(tif.get(), exif, places);
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
                FailTiffWrite(log, "a strip cannot be written");
            rowProgress.Check(y + rows, height);
        }
        if (!TIFFFlush(tif.get())) FailTiffWrite(log, "it cannot be finished");
    }
    if (log.message[0]) FailTiffWrite(log, "");
    bytes.resize(std::size_t(stream.size));
    return bytes;
}
