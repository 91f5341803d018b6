// The images of the last acquisition, and the helpers for the two kinds a native transfer
// brings: a packed DIB, or a TIFF file in memory.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "image/Dib.h"
#include "image/DibHeader.h"
#include "common/Errors.h"
#include "image/Tiff.h"
#include "twain/TwainManager.h"
#include "twain/TwainSession.h"

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
enum class TImageKind { Dib, Tiff, Other };

bool StartsWith(const TLockedHandle& block, const char* signature, std::size_t length) {
    return block.Size() >= length && std::memcmp(block.Data(), signature, length) == 0;
}

// What a native transfer holds, by its first bytes: a TIFF by its signature (classic TIFF,
// either byte order), a DIB by the header size it starts with.
TImageKind KindOf(const TLockedHandle& block) {
    if (StartsWith(block, "II*\0", 4) || StartsWith(block, "MM\0*", 4)) return TImageKind::Tiff;
    if (block.Size() < 4) return TImageKind::Other;
    const std::uint32_t headerSize = ReadFields(block.Data(), 4, FieldWidths<1>{4})[0];
    return headerSize >= CoreHeaderSize && headerSize <= 124 ? TImageKind::Dib : TImageKind::Other;
}

// Names what a source sent that is neither a DIB nor a TIFF, for the user.
std::string DescribeOther(const TLockedHandle& block) {
    static const struct {
        const char* signature;
        std::size_t length;
        const char* name;
    } known[] = {{"\x89PNG", 4, "a PNG file"}, {"\xFF\xD8\xFF", 3, "a JPEG file"}, {"BM", 2, "a BMP file"},
                 {"%PDF", 4, "a PDF file"},    {"II+\0", 4, "a BigTIFF file"},     {"MM\0+", 4, "a BigTIFF file"}};
    std::string what = block.Size() == 0 ? "an empty block" : "";
    for (const auto& k : known)
        if (StartsWith(block, k.signature, k.length)) what = k.name;
    if (what.empty()) {
        what = "data beginning with the bytes";
        for (std::size_t i = 0; i < std::min<std::size_t>(block.Size(), 4); ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, " %02X", block.Data()[i]);
            what += byte;
        }
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

// The image of a handle as a picture; throws EInvalidGraphic saying why it cannot be. Each
// decoder reads the block within its real size, whatever its headers claim.
const Bitmap& DecodedPicture(TW_HANDLE dib) {
    if (dib && Decoded.Handle == dib) return Decoded.Picture;
    const TLockedHandle block(dib);
    if (!block.Data()) throw EInvalidGraphic();
    Bitmap picture;
    switch (KindOf(block)) {
        case TImageKind::Dib: picture = DecodePackedDib(block.Data(), block.Size()); break;
        case TImageKind::Tiff: picture = DecodeTiff(block.Data(), block.Size()); break;
        case TImageKind::Other: throw EInvalidGraphic(DescribeOther(block));
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

// The headers of a DIB handle, checked against the whole block; nothing for a handle that is
// no DIB. Throws EInvalidGraphic for a DIB the reader refuses.
std::optional<DibLayout> LayoutOfDib(TW_HANDLE dib) {
    const TLockedHandle block(dib);
    if (!block.Data() || KindOf(block) != TImageKind::Dib) return std::nullopt;
    return ReadDibLayout(block.Data(), block.Size(), DibContainer::Packed);
}

// A DIB's size is read from its headers (a negative height for rows stored top-down); a
// TIFF's is that of its upright picture. 0 for an image the program cannot read.
std::int32_t ImageSize(TW_HANDLE dib, bool width) {
    try {
        if (const std::optional<DibLayout> layout = LayoutOfDib(dib))
            return width ? layout->Width : layout->Order == RowOrder::TopDown ? -layout->Height : layout->Height;
        const Bitmap& picture = DecodedPicture(dib);
        return width ? picture.Width() : picture.Height();
    } catch (const EInvalidGraphic&) {
        return 0;
    }
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

std::int32_t TWAIN_ImageWidth(TW_HANDLE dib) { return twain::ImageSize(dib, true); }

std::int32_t TWAIN_ImageHeight(TW_HANDLE dib) { return twain::ImageSize(dib, false); }

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
