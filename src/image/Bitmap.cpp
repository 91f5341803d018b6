#include "image/Bitmap.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "common/Errors.h"
#include "image/MemoryCheck.h"

bool PictureSizeAllowed(std::int64_t width, std::int64_t height) {
    return width >= 0 && height >= 0 && width <= MaxPictureSide && height <= MaxPictureSide &&
           width * height <= MaxPicturePixels;
}

namespace {
// A large picture's memory comes from the kernel in 4 KB pages, each faulted in and zeroed on
// first touch: 17,600 faults for 24 megapixels, about half the system time of a load. 2 MB pages
// (given on request where the kernel allows it) cut that to a few dozen faults, and make freeing
// and the row-crossing walks of the turns cheaper. Only a hint: the contents stay the same.
void AskForHugePages(void* start, std::size_t bytes) {
    constexpr std::size_t Huge = std::size_t(2) << 20;
    if (bytes < 4 * Huge) return;
    const std::uintptr_t from = (std::uintptr_t(start) + Huge - 1) & ~std::uintptr_t(Huge - 1);
    const std::uintptr_t to = (std::uintptr_t(start) + bytes) & ~std::uintptr_t(Huge - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

std::uint8_t* AllocatePixels(std::size_t bytes, bool cleared) {
    if (bytes == 0) return nullptr;
    auto* p = static_cast<std::uint8_t*>(cleared ? std::calloc(bytes, 1) : std::malloc(bytes));
    if (!p) throw std::bad_alloc();
    AskForHugePages(p, bytes);
    return p;
}
}  // namespace

void CheckPictureSize(std::int64_t width, std::int64_t height) {
    if (!PictureSizeAllowed(width, height)) throw EPictureTooLarge(width, height);
    // A small file may declare a picture that the bound allows but the machine cannot hold
    // next to its undo copy and view: refuse it now rather than have the system swap or
    // kill the program later.
    CheckPictureFitsInMemory(width, height);
}

void Bitmap::SetSize(int width, int height, bool cleared) {
    if (width < 0 || height < 0) throw EInvalidGraphic();
    CheckPictureSize(width, height);
    pixels_.reset(AllocatePixels(std::size_t(width) * std::size_t(height) * 3, cleared));
    width_ = width;
    height_ = height;
}

void Bitmap::Clear() {
    width_ = height_ = 0;
    pixels_.reset();
}

Bitmap::Bitmap(const Bitmap& other) : width_(other.width_), height_(other.height_) {
    pixels_.reset(AllocatePixels(other.Bytes(), false));
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
