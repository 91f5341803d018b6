#pragma once
// HEIF pictures, HEIC and AVIF among them, through libheif.
#include <cstddef>
#include <cstdint>

#include "image/Bitmap.h"
#include "image/PictureMetadata.h"
#include "image/Progress.h"

// The colours a HEIF file describes by code points (ITU-T H.273) instead of an ICC profile.
struct HeifColourCodes {
    int Primaries = 2, Transfer = 2, Matrix = 2;  // 2: unspecified
    bool FullRange = true;
    bool operator==(const HeifColourCodes&) const = default;
};

// Decodes the primary picture of a HEIF file (HEVC or AV1 coded, as this system's libheif
// can) to 24-bit colour. The file's own rotation, mirroring and crop are applied: the picture
// comes out upright, and the EXIF orientation the metadata carries must not be applied again.
// 10- and 12-bit samples are rounded to 8 bits; alpha is composited over white. The size is
// checked against the program's bound and the free memory before anything is decoded, and
// libheif's own limits stay as they are. `metadata`, when given, receives the EXIF and XMP
// blocks (as JPEG APP1 segments) and the ICC profile; `colourCodes`, when given, the file's
// colour code points, if it has them. Throws EPictureFileInvalid naming the format (HEIF or
// AVIF). `progress` hears of the tiles decoded and the rows converted; a cancel throws
// ECancelled.
Bitmap DecodeHeif(const std::uint8_t* data, std::size_t size, PictureMetadata* metadata = nullptr,
                  const ProgressCallback& progress = {}, HeifColourCodes* colourCodes = nullptr);
