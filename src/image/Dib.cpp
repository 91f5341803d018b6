#include "image/Dib.h"

#include <algorithm>
#include <cstring>

#include "image/DibExtent.h"
#include "image/DibHeader.h"
#include "image/DibRle.h"
#include "common/Errors.h"
#include "image/RowProgress.h"

namespace {
// Calls decodeRow(stored row, picture row) for each row in stored order.
template <typename DecodeRow>
void ForEachRow(const DibLayout& layout, const std::uint8_t* pixels, Bitmap& picture, RowProgress& progress,
                DecodeRow decodeRow) {
    for (int r = 0; r < layout.Height; ++r) {
        const int y = layout.Order == RowOrder::BottomUp ? layout.Height - 1 - r : r;
        decodeRow(pixels + std::size_t(r) * layout.Stride, picture.Row(y));
        progress.Check(r + 1, layout.Height);
    }
}

// Palette indices packed `Bits` to a byte, leftmost pixel in the high bits. Indices past the
// table read its black entries.
template <int Bits>
void DecodeIndexedRows(const DibLayout& layout, const std::uint8_t* pixels, Bitmap& picture, RowProgress& progress) {
    const std::uint8_t* palette = layout.Palette.data();
    ForEachRow(layout, pixels, picture, progress, [&](const std::uint8_t* src, std::uint8_t* dst) {
        for (int x = 0; x < layout.Width; ++x, dst += 3) {
            const int bit = x * Bits;
            const unsigned index = (src[bit >> 3] >> (8 - Bits - (bit & 7))) & ((1u << Bits) - 1);
            std::memcpy(dst, palette + index * 3, 3);
        }
    });
}

// Scales a masked channel to 0..255 so that its largest value becomes 255 (5-bit 31 -> 255,
// not 248).
inline std::uint8_t ScaleChannel(std::uint32_t pixel, const ChannelMask& channel) {
    if (channel.Max == 0) return 0;
    const std::uint64_t value = (pixel & channel.Mask) >> channel.Shift;
    return std::uint8_t((value * 255 + channel.Max / 2) / channel.Max);
}

// 16- and 32-bit pixels read through the colour masks; alpha is dropped.
template <int Bytes>
void DecodeMaskedRows(const DibLayout& layout, const std::uint8_t* pixels, Bitmap& picture, RowProgress& progress) {
    ForEachRow(layout, pixels, picture, progress, [&](const std::uint8_t* src, std::uint8_t* dst) {
        for (int x = 0; x < layout.Width; ++x, src += Bytes, dst += 3) {
            std::uint32_t pixel = src[0] | src[1] << 8;
            if constexpr (Bytes == 4) pixel |= std::uint32_t(src[2]) << 16 | std::uint32_t(src[3]) << 24;
            dst[0] = ScaleChannel(pixel, layout.Blue);
            dst[1] = ScaleChannel(pixel, layout.Green);
            dst[2] = ScaleChannel(pixel, layout.Red);
        }
    });
}

bool IsPlainX8R8G8B8(const DibLayout& layout) {
    return layout.BitCount == 32 && layout.Blue.Mask == 0xFF && layout.Green.Mask == 0xFF00 &&
           layout.Red.Mask == 0xFF0000;
}

void DecodeRows(const DibLayout& layout, const std::uint8_t* pixels, Bitmap& picture, RowProgress& progress) {
    switch (layout.BitCount) {
        case 1: return DecodeIndexedRows<1>(layout, pixels, picture, progress);
        case 2: return DecodeIndexedRows<2>(layout, pixels, picture, progress);
        case 4: return DecodeIndexedRows<4>(layout, pixels, picture, progress);
        case 8: return DecodeIndexedRows<8>(layout, pixels, picture, progress);
        case 16: return DecodeMaskedRows<2>(layout, pixels, picture, progress);
        case 24: {
            const std::size_t rowBytes = picture.RowBytes();
            return ForEachRow(layout, pixels, picture, progress,
                              [&](const std::uint8_t* src, std::uint8_t* dst) { std::memcpy(dst, src, rowBytes); });
        }
        default:
            if (!IsPlainX8R8G8B8(layout)) return DecodeMaskedRows<4>(layout, pixels, picture, progress);
            return ForEachRow(layout, pixels, picture, progress, [&](const std::uint8_t* src, std::uint8_t* dst) {
                for (int x = 0; x < layout.Width; ++x, src += 4, dst += 3) std::memcpy(dst, src, 3);
            });
    }
}

Bitmap DecodeDib(const std::uint8_t* data, std::size_t size, DibContainer container, const ProgressCallback& progress) {
    const DibLayout layout = ReadDibLayout(data, size, container);
    Bitmap picture(layout.Width, layout.Height);
    const std::uint8_t* pixels = data + layout.PixelOffset;
    RowProgress rowProgress(progress);
    if (layout.Compression == DibCompression::Rle8 || layout.Compression == DibCompression::Rle4)
        DecodeRle(layout, pixels, size - layout.PixelOffset, picture, rowProgress);
    else
        DecodeRows(layout, pixels, picture, rowProgress);
    rowProgress.Check(layout.Height, layout.Height);  // a run-length stream may end early
    return picture;
}

constexpr std::uint32_t PelsPerMeter = 2835;  // 72 dots per inch

// What the writer writes: a 24-bit DIB with a 40-byte header and no colour table.
DibExtent WrittenExtent(const Bitmap& picture) {
    return DibExtentOf(std::uint64_t(picture.Width()), std::uint64_t(picture.Height()), 24, InfoHeaderSize, 0, 0);
}

// The information header, then the rows bottom-up, each padded to 4 bytes.
void WriteDib(const Bitmap& picture, const ByteSink& write, const ProgressCallback& progress) {
    const std::size_t rowBytes = picture.RowBytes();
    const DibExtent extent = WrittenExtent(picture);
    const std::size_t stride = std::size_t(extent.Stride);
    std::uint8_t header[InfoHeaderSize];
    WriteFields(
        header, InfoHeaderWidths,
        {std::uint32_t(InfoHeaderSize), std::uint32_t(picture.Width()), std::uint32_t(picture.Height()), 1, 24,
         std::uint32_t(DibCompression::Rgb), std::uint32_t(extent.ImageSize), PelsPerMeter, PelsPerMeter, 0, 0});
    write(header, sizeof header);
    const std::uint8_t padding[3] = {0, 0, 0};
    RowProgress rowProgress(progress);
    for (int y = picture.Height() - 1; y >= 0; --y) {
        write(picture.Row(y), rowBytes);
        if (stride > rowBytes) write(padding, stride - rowBytes);
        rowProgress.Check(picture.Height() - y, picture.Height());
    }
}

std::size_t DibBytes(const Bitmap& picture) { return std::size_t(WrittenExtent(picture).End()); }

std::vector<std::uint8_t> Collect(const std::function<void(const ByteSink&)>& produce, std::size_t size) {
    std::vector<std::uint8_t> out;
    out.reserve(size);
    produce([&](const std::uint8_t* data, std::size_t n) { out.insert(out.end(), data, data + n); });
    return out;
}
}  // namespace

Bitmap DecodeBmpFile(const std::uint8_t* data, std::size_t size, const ProgressCallback& progress) {
    return DecodeDib(data, size, DibContainer::File, progress);
}

Bitmap DecodePackedDib(const std::uint8_t* data, std::size_t size, const ProgressCallback& progress) {
    return DecodeDib(data, size, DibContainer::Packed, progress);
}

void WriteBmpFile(const Bitmap& picture, const ByteSink& write, const ProgressCallback& progress) {
    std::uint8_t header[FileHeaderSize];
    const std::uint32_t offBits = FileHeaderSize + InfoHeaderSize;
    WriteFields(header, FileHeaderWidths,
                {'B' | 'M' << 8, std::uint32_t(FileHeaderSize + DibBytes(picture)), 0, 0, offBits});
    write(header, sizeof header);
    WriteDib(picture, write, progress);
}

std::vector<std::uint8_t> EncodeBmpFile(const Bitmap& picture) {
    return Collect([&](const ByteSink& write) { WriteBmpFile(picture, write); }, FileHeaderSize + DibBytes(picture));
}

std::vector<std::uint8_t> EncodePackedDib(const Bitmap& picture) {
    return Collect([&](const ByteSink& write) { WriteDib(picture, write, {}); }, DibBytes(picture));
}
