// The images of the last acquisition, and the DIB helpers.
#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "Dib.h"
#include "DibHeader.h"
#include "Errors.h"
#include "TwainManager.h"
#include "TwainSession.h"

namespace twain {
namespace {
constexpr int ImageListSize = 999;
std::array<TW_HANDLE, ImageListSize> ImageList{};
int ImageCount = 0;
}  // namespace

TW_HANDLE KeepImage(TW_HANDLE dib) {
    if (ImageCount < ImageListSize) {
        ImageList[ImageCount++] = dib;
        return dib;
    }
    // No room: the image goes at once, and the list's last image stands for the batch.
    FreeHandle(dib);
    return ImageList[ImageListSize - 1];
}

void EmptyImageList() {
    for (int i = 0; i < ImageCount; ++i) FreeHandle(std::exchange(ImageList[i], nullptr));
    ImageCount = 0;
}

namespace {
// The number of bytes a packed DIB occupies, worked out from its header as its reader will
// walk it: the header, the colour masks of a 40-byte bit-field header, the colour table and
// the rows (biSizeImage for run-length data). A handle carries no size of its own. 0 for a
// header the reader would refuse at once.
std::size_t PackedDibExtent(const std::uint8_t* dib) {
    const std::uint32_t headerSize = ReadFields(dib, 4, FieldWidths<1>{4})[0];
    if (headerSize < CoreHeaderSize || headerSize > 124) return 0;
    std::uint64_t width, height, bitCount, compression = 0, sizeImage = 0, colorsUsed = 0;
    std::uint64_t entrySize = 4, maskBytes = 0;
    if (headerSize == CoreHeaderSize) {
        const auto core = ReadFields(dib, CoreHeaderSize, CoreHeaderWidths);
        width = core[1];
        height = core[2];
        bitCount = core[4];
        entrySize = 3;
    } else {
        const auto info = ReadFields(dib, headerSize, InfoHeaderWidths);
        const std::int32_t signedWidth = std::int32_t(info[InfoWidth]);
        const std::int32_t signedHeight = std::int32_t(info[InfoHeight]);
        if (signedWidth <= 0 || signedHeight == 0) return 0;
        width = std::uint64_t(signedWidth);
        height = signedHeight < 0 ? std::uint64_t(-std::int64_t(signedHeight)) : std::uint64_t(signedHeight);
        bitCount = info[InfoBitCount];
        compression = info[InfoCompression];
        sizeImage = info[InfoSizeImage];
        colorsUsed = info[InfoClrUsed];
        if (headerSize == InfoHeaderSize) {
            if (compression == std::uint32_t(DibCompression::Bitfields)) maskBytes = 12;
            if (compression == std::uint32_t(DibCompression::AlphaBitfields)) maskBytes = 16;
        }
    }
    if (bitCount == 0 || bitCount > 32 || !PictureSizeAllowed(std::int64_t(width), std::int64_t(height)))
        return 0;
    const std::uint64_t entries = colorsUsed != 0 ? colorsUsed : bitCount <= 8 ? 1u << bitCount : 0;
    if (entries > 1u << 16) return 0;
    const bool runLength = compression == std::uint32_t(DibCompression::Rle8) ||
                           compression == std::uint32_t(DibCompression::Rle4);
    const std::uint64_t stride = (width * bitCount + 31) / 32 * 4;
    const std::uint64_t pixels = runLength ? sizeImage : stride * height;
    return std::size_t(headerSize + maskBytes + entries * entrySize + pixels);
}

// The DIB of a handle as a picture; false when it does not lock or does not decode.
bool DecodeHandle(TW_HANDLE dib, Bitmap& picture) {
    const auto* data = static_cast<const std::uint8_t*>(LockHandle(dib));
    if (!data) return false;
    bool decoded = false;
    if (const std::size_t extent = PackedDibExtent(data)) {
        try {
            picture = DecodePackedDib(data, extent);
            decoded = true;
        } catch (const EInvalidGraphic&) {
        }
    }
    UnlockHandle(dib);
    return decoded;
}

std::int32_t HeaderField(TW_HANDLE dib, std::size_t offset) {
    const auto* data = static_cast<const std::uint8_t*>(LockHandle(dib));
    if (!data) return 0;
    std::int32_t value;
    std::memcpy(&value, data + offset, sizeof value);
    UnlockHandle(dib);
    return value;
}
}  // namespace
}  // namespace twain

int TWAIN_ImageCount() { return twain::ImageCount; }

TW_HANDLE TWAIN_ImageAt(int index) {
    return index >= 0 && index < twain::ImageCount ? twain::ImageList[index] : nullptr;
}

void TWAIN_ReleaseImage(TW_HANDLE dib) {
    if (!dib) return;
    // The list keeps no handle to a freed block.
    std::replace(twain::ImageList.begin(), twain::ImageList.begin() + twain::ImageCount, dib,
                 TW_HANDLE(nullptr));
    if (twain::ResultHandle == dib) twain::ResultHandle = nullptr;
    FreeHandle(dib);
}

void TWAIN_FreeImages() {
    twain::ResultHandle = nullptr;
    twain::EmptyImageList();
}

std::int32_t TWAIN_ImageWidth(TW_HANDLE dib) { return twain::HeaderField(dib, 4); }

std::int32_t TWAIN_ImageHeight(TW_HANDLE dib) { return twain::HeaderField(dib, 8); }

bool TWAIN_PaintImage(Bitmap& surface, int x, int y, int width, int height, TW_HANDLE dib,
                      int sourceX, int sourceY) {
    Bitmap picture;
    if (!twain::DecodeHandle(dib, picture)) return false;
    // The whole picture onto a surface of its size, the scan command's case: no copy.
    if (x == 0 && y == 0 && sourceX == 0 && sourceY == 0 && width == picture.Width() &&
        height == picture.Height() && surface.Width() == width && surface.Height() == height) {
        surface = std::move(picture);
        return true;
    }
    // Clip the block to the picture, then to the surface.
    const std::int64_t left = std::max<std::int64_t>({0, -std::int64_t(sourceX), -std::int64_t(x)});
    const std::int64_t top = std::max<std::int64_t>({0, -std::int64_t(sourceY), -std::int64_t(y)});
    const std::int64_t right = std::min<std::int64_t>(
        {width, std::int64_t(picture.Width()) - sourceX, std::int64_t(surface.Width()) - x});
    const std::int64_t bottom = std::min<std::int64_t>(
        {height, std::int64_t(picture.Height()) - sourceY, std::int64_t(surface.Height()) - y});
    for (std::int64_t row = top; row < bottom && left < right; ++row)
        std::memcpy(surface.Pixel(int(x + left), int(y + row)),
                    picture.Pixel(int(sourceX + left), int(sourceY + row)), std::size_t(right - left) * 3);
    return true;
}
