#pragma once
// JPEG through libjpeg(-turbo).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Bitmap.h"

// Decodes at full size to 24-bit colour (accurate integer DCT, fancy upsampling). Greyscale,
// CMYK and YCCK become colour. A fatal libjpeg error throws EJpegError with its message code;
// a file of more than 500 scans throws EInvalidGraphic. Damaged or missing data is not fatal:
// what is missing reads as grey.
Bitmap DecodeJpeg(const std::uint8_t* data, std::size_t size);

// Encodes baseline JFIF, colour, non-progressive. A side past 65500 pixels, JPEG's limit,
// throws EJpegError with a message that says so.
std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality = 90);
