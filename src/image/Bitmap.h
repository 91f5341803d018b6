#pragma once
// The picture: rows of 3-byte pixels in the order blue, green, red, top row first.
// Rows are stored without padding; codecs add or strip file padding themselves.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "image/FreeDeleter.h"
#include "image/PackedColor.h"

// The largest picture the program makes: each side at most 65535 and at most 2^28 pixels
// (768 MiB of pixel data). Decoders test a declared size against it before allocating.
constexpr std::int64_t MaxPictureSide = 65535;
constexpr std::int64_t MaxPicturePixels = std::int64_t(1) << 28;
bool PictureSizeAllowed(std::int64_t width, std::int64_t height);
// Throws EPictureTooLarge for a size past the bound (sizes must not be negative), and its
// kind ENotEnoughMemory for a size the available memory cannot hold (see MemoryCheck.h).
void CheckPictureSize(std::int64_t width, std::int64_t height);

class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height) { SetSize(width, height); }
    // For a routine that writes every byte: the memory is not cleared first. calloc clears a
    // block it reuses with one memset on the calling thread, which for a halved 24-megapixel
    // picture is a sixth of the resize and cannot be shared by the parallel bands.
    struct Overwritten {};
    Bitmap(int width, int height, Overwritten) { SetSize(width, height, false); }
    Bitmap(const Bitmap& other);
    Bitmap& operator=(const Bitmap& other);
    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(Bitmap&& other) noexcept;

    // Resizes to width x height, all black. Throws EPictureTooLarge past the size bound, before
    // allocating, and EInvalidGraphic for a negative size.
    void SetSize(int width, int height) { SetSize(width, height, true); }

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    std::size_t RowBytes() const { return std::size_t(width_) * 3; }

    std::uint8_t* Row(int y) { return pixels_.get() + std::size_t(y) * RowBytes(); }
    const std::uint8_t* Row(int y) const { return pixels_.get() + std::size_t(y) * RowBytes(); }
    std::uint8_t* Pixel(int x, int y) { return Row(y) + std::size_t(x) * 3; }
    const std::uint8_t* Pixel(int x, int y) const { return Row(y) + std::size_t(x) * 3; }

    PackedColor GetColor(int x, int y) const {
        const std::uint8_t* p = Pixel(x, y);
        return PackColor(p[2], p[1], p[0]);
    }
    void SetColor(int x, int y, PackedColor c) {
        std::uint8_t* p = Pixel(x, y);
        p[0] = BlueOf(c);
        p[1] = GreenOf(c);
        p[2] = RedOf(c);
    }
    bool Contains(std::int64_t x, std::int64_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Releases the pixel memory; the picture becomes 0 x 0.
    void Clear();

    bool operator==(const Bitmap& other) const;

private:
    int width_ = 0, height_ = 0;
    // calloc'd: a large block comes straight from the kernel already zeroed, so a new picture
    // costs no fill pass before the decoder or filter writes it. malloc'd when Overwritten.
    std::unique_ptr<std::uint8_t[], FreeDeleter> pixels_;
    std::size_t Bytes() const { return RowBytes() * std::size_t(height_); }
    void SetSize(int width, int height, bool cleared);
};
