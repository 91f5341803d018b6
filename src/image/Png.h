#pragma once
// PNG through libpng.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureMetadata.h"
#include "image/Progress.h"

// Decodes any PNG, interlaced or not, to 24-bit colour: palette and grey become colour,
// 16-bit samples are reduced to 8 bits with rounding, and alpha (or a transparent colour) is
// composited over white, which is what a transparent area shows on paper. The size is checked
// against the program's bound before anything is allocated for the pixels. `metadata`, when
// given, receives the resolution, the eXIf chunk (as a JPEG APP1 segment, its orientation for
// the caller to apply), the iCCP profile and the XMP packet of an iTXt chunk, from before or
// after the pixels; damage after the pixels loses only what it holds. Throws
// EPictureFileInvalid.
// `progress` hears of each row of each pass; a cancel throws ECancelled.
Bitmap DecodePng(const std::uint8_t* data, std::size_t size, PictureMetadata* metadata = nullptr,
                 const ProgressCallback& progress = {});

// Encodes as 8-bit RGB, not interlaced, with the metadata of the file the picture came from,
// made fit for this picture (see MetadataForSavedPicture): its resolution in pHYs, EXIF in
// eXIf, the ICC profile in iCCP and XMP in an iTXt chunk; IPTC and comments have no place in a
// PNG. A profile libpng refuses (damaged, or for grey or CMYK pictures) is left out and
// `warnings` is told. `progress` hears of each row; a cancel throws ECancelled.
std::vector<std::uint8_t> EncodePng(const Bitmap& picture, const PictureMetadata& metadata = {},
                                    const ProgressCallback& progress = {}, MetadataWarnings* warnings = nullptr);
