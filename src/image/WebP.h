#pragma once
// WebP through libwebp: lossy and lossless, still and animated.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureMetadata.h"
#include "image/Progress.h"

// Decodes a still WebP, lossy or lossless, or the first frame of an animation, to 24-bit
// colour with alpha composited over white. The pixels are as stored: the caller turns them
// upright by the EXIF orientation in `metadata`, as for a JPEG. The size is checked against
// the program's bound and the free memory before anything is allocated for the pixels.
// `metadata`, when given, receives the EXIF and XMP chunks (as JPEG APP1 segments) and the
// ICC profile. Throws EPictureFileInvalid. `progress` hears of the rows as they are decoded;
// a cancel throws ECancelled.
Bitmap DecodeWebP(const std::uint8_t* data, std::size_t size, PictureMetadata* metadata = nullptr,
                  const ProgressCallback& progress = {});

enum class WebPCompression { Lossy, Lossless };

// A side of a WebP picture holds at most this many pixels.
inline constexpr int MaxWebPSide = 16383;

// The quality of every lossy WebP the program saves.
constexpr int WebPQuality = 90;

// Encodes a still WebP: lossy at `quality` (0 to 100), or lossless. The metadata of the file
// the picture came from goes into EXIF, ICCP and XMP chunks, made fit for this picture (see
// MetadataForSavedPicture); IPTC and comments have no place in a WebP. A side past
// MaxWebPSide throws EPictureFileInvalid, which says so. `progress` hears of the encoding
// in steps of a percent; a cancel throws ECancelled.
std::vector<std::uint8_t> EncodeWebP(const Bitmap& picture, const PictureMetadata& metadata = {},
                                     WebPCompression compression = WebPCompression::Lossy, int quality = WebPQuality,
                                     const ProgressCallback& progress = {});
