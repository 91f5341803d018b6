// The images of the last acquisition, and the helpers for the two kinds a native transfer
// brings: a packed DIB, or a TIFF file in memory.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

#include "Dib.h"
#include "DibHeader.h"
#include "Errors.h"
#include "TiffExtent.h"
#include "Tiff.h"
#include "TwainManager.h"
#include "TwainSession.h"

namespace twain {
namespace {
constexpr int ImageListSize = 999;
std::array<TW_HANDLE, ImageListSize> ImageList{};
int ImageCount = 0;
void Forget(TW_HANDLE dib);
}  // namespace

TW_HANDLE KeepImage(TW_HANDLE dib) {
    if (ImageCount < ImageListSize) {
        ImageList[ImageCount++] = dib;
        return dib;
    }
    // No room: the image goes at once, and the list's last image stands for the batch.
    Forget(dib);
    FreeHandle(dib);
    return ImageList[ImageListSize - 1];
}

void EmptyImageList() {
    for (int i = 0; i < ImageCount; ++i) {
        Forget(ImageList[i]);
        FreeHandle(std::exchange(ImageList[i], nullptr));
    }
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
    if (bitCount == 0 || bitCount > 32 || !PictureSizeAllowed(std::int64_t(width), std::int64_t(height))) return 0;
    const std::uint64_t entries = colorsUsed != 0 ? colorsUsed : bitCount <= 8 ? 1u << bitCount : 0;
    if (entries > 1u << 16) return 0;
    const bool runLength =
        compression == std::uint32_t(DibCompression::Rle8) || compression == std::uint32_t(DibCompression::Rle4);
    const std::uint64_t stride = (width * bitCount + 31) / 32 * 4;
    const std::uint64_t pixels = runLength ? sizeImage : stride * height;
    return std::size_t(headerSize + maskBytes + entries * entrySize + pixels);
}

enum class TImageKind { Dib, Tiff, Other };

// What a native transfer holds, by its first bytes: a TIFF by its signature, a DIB by the
// header size it starts with, as the DIB reader accepts it.
TImageKind KindOf(const std::uint8_t* data) {
    if (IsTiffSignature(data)) return TImageKind::Tiff;
    const std::uint32_t headerSize = ReadFields(data, 4, FieldWidths<1>{4})[0];
    return headerSize >= CoreHeaderSize && headerSize <= 124 ? TImageKind::Dib : TImageKind::Other;
}

// Names what a source sent that is neither a DIB nor a TIFF, for the user.
std::string DescribeOther(const std::uint8_t* data) {
    static const struct {
        const char* signature;
        std::size_t length;
        const char* name;
    } known[] = {{"\x89PNG", 4, "a PNG file"}, {"\xFF\xD8\xFF", 3, "a JPEG file"}, {"BM", 2, "a BMP file"},
                 {"%PDF", 4, "a PDF file"},    {"II+\0", 4, "a BigTIFF file"},     {"MM\0+", 4, "a BigTIFF file"}};
    std::string what;
    for (const auto& k : known)
        if (std::memcmp(data, k.signature, k.length) == 0) what = k.name;
    if (what.empty()) {
        char bytes[16];
        std::snprintf(bytes, sizeof bytes, "%02X %02X %02X %02X", data[0], data[1], data[2], data[3]);
        what = std::string("data beginning with the bytes ") + bytes;
    }
    return "The scanner sent " + what +
           ", but the program takes a scanned image only as a Windows bitmap (DIB) "
           "or a TIFF file";
}

// The last image decoded, kept so that asking its size and then painting it decodes it once.
// Forgotten when its handle is freed: a new block may come at the same address.
struct TDecoded {
    TW_HANDLE Handle = nullptr;
    Bitmap Picture;
};
TDecoded Decoded;

void Forget(TW_HANDLE dib) {
    if (Decoded.Handle == dib) Decoded = {};
}

// The image of a handle as a picture; throws EInvalidGraphic saying why it cannot be.
const Bitmap& DecodedPicture(TW_HANDLE dib) {
    if (dib && Decoded.Handle == dib) return Decoded.Picture;
    const auto* data = static_cast<const std::uint8_t*>(LockHandle(dib));
    if (!data) throw EInvalidGraphic();
    struct TUnlock {
        TW_HANDLE handle;
        ~TUnlock() { UnlockHandle(handle); }
    } unlock{dib};
    Bitmap picture;
    switch (KindOf(data)) {
        case TImageKind::Dib: {
            const std::size_t extent = PackedDibExtent(data);
            if (!extent) throw EInvalidGraphic();
            picture = DecodePackedDib(data, extent);
            break;
        }
        case TImageKind::Tiff: {
            const std::size_t extent = TiffExtent(data);
            if (!extent) throw EInvalidGraphic("The scanner's TIFF image is not valid: its directory is damaged");
            picture = DecodeTiff(data, extent);
            break;
        }
        case TImageKind::Other: throw EInvalidGraphic(DescribeOther(data));
    }
    Decoded = {dib, std::move(picture)};
    return Decoded.Picture;
}

const Bitmap* TryDecodedPicture(TW_HANDLE dib) {
    try {
        return &DecodedPicture(dib);
    } catch (const EInvalidGraphic&) {
        return nullptr;
    }
}

bool IsTiffHandle(TW_HANDLE dib) {
    const auto* data = static_cast<const std::uint8_t*>(LockHandle(dib));
    if (!data) return false;
    const bool tiff = IsTiffSignature(data);
    UnlockHandle(dib);
    return tiff;
}

std::int32_t HeaderField(TW_HANDLE dib, std::size_t offset) {
    const auto* data = static_cast<const std::uint8_t*>(LockHandle(dib));
    if (!data) return 0;
    std::int32_t value;
    std::memcpy(&value, data + offset, sizeof value);
    UnlockHandle(dib);
    return value;
}

// A TIFF's size is that of its upright picture; a DIB's is read from its header.
std::int32_t ImageSize(TW_HANDLE dib, std::size_t headerOffset, bool width) {
    if (!IsTiffHandle(dib)) return HeaderField(dib, headerOffset);
    const Bitmap* picture = TryDecodedPicture(dib);
    return picture ? (width ? picture->Width() : picture->Height()) : 0;
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
    std::replace(twain::ImageList.begin(), twain::ImageList.begin() + twain::ImageCount, dib, TW_HANDLE(nullptr));
    if (twain::ResultHandle == dib) twain::ResultHandle = nullptr;
    twain::Forget(dib);
    FreeHandle(dib);
}

void TWAIN_FreeImages() {
    twain::ResultHandle = nullptr;
    twain::EmptyImageList();
}

std::int32_t TWAIN_ImageWidth(TW_HANDLE dib) { return twain::ImageSize(dib, 4, true); }

std::int32_t TWAIN_ImageHeight(TW_HANDLE dib) { return twain::ImageSize(dib, 8, false); }

std::string TWAIN_ImageProblem(TW_HANDLE dib) {
    try {
        twain::DecodedPicture(dib);
        return "";
    } catch (const EInvalidGraphic& error) {
        return error.what();
    }
}

bool TWAIN_PaintImage(Bitmap& surface, int x, int y, int width, int height, TW_HANDLE dib, int sourceX, int sourceY) {
    const Bitmap* decoded = twain::TryDecodedPicture(dib);
    if (!decoded) return false;
    const Bitmap& picture = *decoded;
    // The whole picture onto a surface of its size, the scan command's case: no copy, and
    // the kept picture goes to the surface.
    if (x == 0 && y == 0 && sourceX == 0 && sourceY == 0 && width == picture.Width() && height == picture.Height() &&
        surface.Width() == width && surface.Height() == height) {
        surface = std::move(twain::Decoded.Picture);
        twain::Decoded = {};
        return true;
    }
    // Clip the block to the picture, then to the surface.
    const std::int64_t left = std::max<std::int64_t>({0, -std::int64_t(sourceX), -std::int64_t(x)});
    const std::int64_t top = std::max<std::int64_t>({0, -std::int64_t(sourceY), -std::int64_t(y)});
    const std::int64_t right =
        std::min<std::int64_t>({width, std::int64_t(picture.Width()) - sourceX, std::int64_t(surface.Width()) - x});
    const std::int64_t bottom =
        std::min<std::int64_t>({height, std::int64_t(picture.Height()) - sourceY, std::int64_t(surface.Height()) - y});
    for (std::int64_t row = top; row < bottom && left < right; ++row)
        std::memcpy(surface.Pixel(int(x + left), int(y + row)), picture.Pixel(int(sourceX + left), int(sourceY + row)),
                    std::size_t(right - left) * 3);
    return true;
}
