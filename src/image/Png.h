#pragma once
// PNG through libpng.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Bitmap.h"
#include "PictureMetadata.h"
#include "Progress.h"

// Decodes any PNG, interlaced or not, to 24-bit colour: palette and grey become colour,
// 16-bit samples are reduced to 8 bits with rounding, and alpha (or a transparent colour) is
// composited over white, which is what a transparent area shows on paper. The size is checked
// against the program's bound before anything is allocated for the pixels. The resolution, if
// the file gives one, goes into `metadata` when it is given. Throws EPictureFileInvalid.
// `progress` hears of each row of each pass; a cancel throws ECancelled.
Bitmap DecodePng(const std::uint8_t* data, std::size_t size, PictureMetadata* metadata = nullptr,
                 const ProgressCallback& progress = {});

// Encodes as 8-bit RGB, not interlaced, with the metadata's resolution if it has one.
// `progress` hears of each row; a cancel throws ECancelled.
std::vector<std::uint8_t> EncodePng(const Bitmap& picture, const PictureMetadata& metadata = {},
                                    const ProgressCallback& progress = {});
