#pragma once
// JPEG through libjpeg(-turbo).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureMetadata.h"
#include "image/Progress.h"

// Decodes at full size to 24-bit colour (accurate integer DCT, fancy upsampling). Greyscale,
// CMYK and YCCK become colour. A fatal libjpeg error throws EJpegError with its message code;
// a file of more than 100 scans, or whose scans visit more blocks than its size pays for (see
// Jpeg.cpp), throws EInvalidGraphic. Damaged or missing data is not fatal: what is missing
// reads as grey.
Bitmap DecodeJpeg(const std::uint8_t* data, std::size_t size);
// The same, also giving the file's APP1 (EXIF, XMP), APP2 (ICC), APP13 (IPTC) and comment
// segments in file order, and the JFIF resolution. Segments past the first 1024 or 32 MB are
// left out, and `warnings` is told so. `progress` hears of the rows as they come out, after a
// pass reading the scans for a file of several; a cancel throws ECancelled.
Bitmap DecodeJpeg(const std::uint8_t* data, std::size_t size, PictureMetadata& metadata,
                  const ProgressCallback& progress = {}, MetadataWarnings* warnings = nullptr);

// The quality of every JPEG the program saves.
constexpr int JpegQuality = 90;

// Encodes baseline JFIF, colour, non-progressive. A side past 65500 pixels, JPEG's limit,
// throws EJpegError with a message that says so.
std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality = JpegQuality);
// The same, carrying the metadata of the file the picture came from: its segments follow the
// JFIF header, made fit for this picture (see MetadataForSavedPicture), and its resolution
// goes into the JFIF header. A segment longer than a JPEG segment holds (an EXIF block grown
// by the fitting, an ICC profile of more than 255 chunks) is left out, and `warnings` is told.
// `progress` hears of every 16 rows; a cancel throws ECancelled.
std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality, const PictureMetadata& metadata,
                                     const ProgressCallback& progress = {}, MetadataWarnings* warnings = nullptr);
