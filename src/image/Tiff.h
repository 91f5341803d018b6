#pragma once
// TIFF through libtiff.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureMetadata.h"
#include "image/Progress.h"

// The first page of a TIFF as stored, with what the file says about it.
struct StoredTiff {
    Bitmap Picture;
    int Orientation = 1;       // the orientation tag, 1 to 8
    PictureMetadata Metadata;  // resolution and ICC profile
};

// Reads the first page only, whatever follows it: 1 to 16 bits per sample; bilevel, grey,
// palette, RGB, YCbCr and CMYK; strips or tiles; no compression, LZW, Deflate, PackBits,
// JPEG or CCITT. 16-bit samples are reduced to 8 bits with rounding, and alpha is composited
// over white. The size is checked against the program's bound before anything is allocated
// for the pixels. Throws EPictureFileInvalid. `progress` hears of each strip or row of tiles;
// a cancel throws ECancelled.
StoredTiff ReadTiff(const std::uint8_t* data, std::size_t size, const ProgressCallback& progress = {});

// The first page turned upright by its orientation tag: a TIFF file, or a TIFF handed over
// in memory (as a scanner's native transfer may be).
Bitmap DecodeTiff(const std::uint8_t* data, std::size_t size);

// Encodes as 8-bit RGB with Deflate compression, at the metadata's resolution if it has one,
// with its StoredOrientation as the orientation tag. `progress` hears of each strip; a cancel
// throws ECancelled.
std::vector<std::uint8_t> EncodeTiff(const Bitmap& picture, const PictureMetadata& metadata = {},
                                     const ProgressCallback& progress = {});
