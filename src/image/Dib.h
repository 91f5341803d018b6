#pragma once
// Windows device-independent bitmaps: BMP files and packed DIBs in memory.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "image/Bitmap.h"
#include "image/Progress.h"

// Decodes a whole BMP file (14-byte file header first). Throws EInvalidGraphic on any
// malformed input, before allocating more than the declared picture needs. `progress` hears
// of each row; a cancel throws ECancelled.
Bitmap DecodeBmpFile(const std::uint8_t* data, std::size_t size, const ProgressCallback& progress = {});

// Decodes a packed DIB: an information header, the colour table, then the pixel rows,
// as the clipboard and a scanner's native transfer deliver it.
Bitmap DecodePackedDib(const std::uint8_t* data, std::size_t size, const ProgressCallback& progress = {});

// Receives an encoded file piece by piece, in file order.
using ByteSink = std::function<void(const std::uint8_t* data, std::size_t size)>;

// Encodes as a 24-bit BI_RGB BMP file: bottom-up rows padded to 4 bytes.
std::vector<std::uint8_t> EncodeBmpFile(const Bitmap& picture);
// The same file handed out piece by piece, so that a large picture is never copied whole.
// `progress` hears of each row written; a cancel throws ECancelled out of the writing.
void WriteBmpFile(const Bitmap& picture, const ByteSink& write, const ProgressCallback& progress = {});

// The same picture as a packed DIB (BITMAPINFOHEADER and rows, no file header).
std::vector<std::uint8_t> EncodePackedDib(const Bitmap& picture);
