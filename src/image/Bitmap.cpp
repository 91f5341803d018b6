#include "Bitmap.h"

#include "Errors.h"

bool PictureSizeAllowed(std::int64_t width, std::int64_t height) {
    return width >= 0 && height >= 0 && width <= MaxPictureSide && height <= MaxPictureSide &&
           width * height <= MaxPicturePixels;
}

void Bitmap::SetSize(int width, int height) {
    if (!PictureSizeAllowed(width, height)) throw EInvalidGraphic();
    width_ = width;
    height_ = height;
    pixels_.assign(std::size_t(width) * std::size_t(height) * 3, 0);
}

void Bitmap::Clear() {
    width_ = height_ = 0;
    std::vector<std::uint8_t>().swap(pixels_);
}
