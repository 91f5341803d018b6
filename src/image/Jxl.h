#pragma once
// JPEG XL through libjxl.
#include <cstddef>
#include <cstdint>

#include "image/Bitmap.h"
#include "image/PictureMetadata.h"
#include "image/Progress.h"

// Decodes a JPEG XL file, bare codestream or container, to 24-bit colour: the first frame of
// an animation, turned upright by the file's own orientation, alpha composited over white.
// Pictures coded in libjxl's own colour space come out as sRGB. The size is checked against
// the program's bound and the free memory before anything is allocated for the pixels.
// `metadata`, when given, receives the ICC profile of the decoded pixels unless they are
// plain sRGB, and the EXIF and XMP boxes of a container (the EXIF orientation is the
// codestream's business and is not applied again). A file this system's libjxl cannot decode throws EPictureFileInvalid naming the
// format. `progress` hears of the pixels decoded; a cancel throws ECancelled once the frame is done.
Bitmap DecodeJxl(const std::uint8_t* data, std::size_t size, PictureMetadata* metadata = nullptr,
                 const ProgressCallback& progress = {});
