#pragma once
// JPEG through libjpeg(-turbo).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Bitmap.h"

// Decodes at full size to 24-bit colour (accurate integer DCT, fancy upsampling). Greyscale,
// CMYK and YCCK become colour. A fatal libjpeg error throws EJpegError with its message code.
Bitmap DecodeJpeg(const std::uint8_t* data, std::size_t size);

// Encodes baseline JFIF, colour, non-progressive.
std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality = 90);
