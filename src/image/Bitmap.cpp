#include "Bitmap.h"

#include <cstring>
#include <new>
#include <utility>

#include "Errors.h"

bool PictureSizeAllowed(std::int64_t width, std::int64_t height) {
    return width >= 0 && height >= 0 && width <= MaxPictureSide && height <= MaxPictureSide &&
           width * height <= MaxPicturePixels;
}

namespace {
std::uint8_t* AllocatePixels(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    auto* p = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
    if (!p) throw std::bad_alloc();
    return p;
}
}  // namespace

void CheckPictureSize(std::int64_t width, std::int64_t height) {
    if (!PictureSizeAllowed(width, height)) throw EPictureTooLarge(width, height);
}

void Bitmap::SetSize(int width, int height) {
    if (width < 0 || height < 0) throw EInvalidGraphic();
    CheckPictureSize(width, height);
    pixels_.reset(AllocatePixels(std::size_t(width) * std::size_t(height) * 3));
    width_ = width;
    height_ = height;
}

void Bitmap::Clear() {
    width_ = height_ = 0;
    pixels_.reset();
}

Bitmap::Bitmap(const Bitmap& other) : width_(other.width_), height_(other.height_) {
    pixels_.reset(AllocatePixels(other.Bytes()));
    if (other.Bytes()) std::memcpy(pixels_.get(), other.pixels_.get(), other.Bytes());
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
    if (this != &other) *this = Bitmap(other);
    return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)), height_(std::exchange(other.height_, 0)),
      pixels_(std::move(other.pixels_)) {}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    pixels_ = std::move(other.pixels_);
    return *this;
}

bool Bitmap::operator==(const Bitmap& other) const {
    return width_ == other.width_ && height_ == other.height_ &&
           (Bytes() == 0 || std::memcmp(pixels_.get(), other.pixels_.get(), Bytes()) == 0);
}
