#include "DibHeader.h"

#include <algorithm>
#include <bit>

#include "Bitmap.h"
#include "Errors.h"

namespace {
constexpr std::uint32_t V2HeaderSize = 52;  // BITMAPINFOHEADER plus the three colour masks
constexpr std::uint32_t V3HeaderSize = 56;  // ... plus the alpha mask
constexpr std::uint32_t V4HeaderSize = 108;
constexpr std::uint32_t V5HeaderSize = 124;

[[noreturn]] void Invalid() { throw EInvalidGraphic(); }

// OS/2 v2 headers are 16 to 64 bytes long; a 40-byte one reads the same as Windows'. Their
// compression values 3 and 4 mean Huffman 1D and RLE24, not bit fields and JPEG.
bool IsOs2InfoHeader(std::uint32_t headerSize) {
    return headerSize >= 16 && headerSize <= 64 && headerSize != InfoHeaderSize &&
           headerSize != V2HeaderSize && headerSize != V3HeaderSize;
}

bool KnownHeaderSize(std::uint32_t headerSize) {
    return headerSize == CoreHeaderSize || (headerSize >= 16 && headerSize <= 64) ||
           headerSize == V4HeaderSize || headerSize == V5HeaderSize;
}

bool KnownBitCount(int bitCount) {
    return bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
           bitCount == 24 || bitCount == 32;
}

void CheckCompression(const DibLayout& layout, std::uint32_t headerSize) {
    switch (layout.compression) {
        case DibCompression::Rgb:
            return;
        case DibCompression::Rle8:
        case DibCompression::Rle4:
            // Run-length data is bottom-up by definition: a top-down RLE header is broken.
            if (layout.bitCount != (layout.compression == DibCompression::Rle8 ? 8 : 4) ||
                layout.order == RowOrder::TopDown)
                Invalid();
            return;
        case DibCompression::Bitfields:
        case DibCompression::AlphaBitfields:
            if (IsOs2InfoHeader(headerSize) || (layout.bitCount != 16 && layout.bitCount != 32))
                Invalid();
            return;
        default:  // embedded JPEG or PNG, OS/2 RLE24, unknown
            Invalid();
    }
}
}  // namespace

ChannelMask MakeChannelMask(std::uint32_t mask) {
    ChannelMask channel;
    channel.mask = mask;
    if (mask != 0) {
        channel.shift = std::countr_zero(mask);
        channel.max = mask >> channel.shift;
    }
    return channel;
}

DibLayout ReadDibLayout(const std::uint8_t* data, std::size_t size, DibContainer container) {
    std::size_t headerStart = 0;
    std::size_t fileOffBits = 0;
    if (container == DibContainer::File) {
        if (size < FileHeaderSize || data[0] != 'B' || data[1] != 'M') Invalid();
        // bfSize and the reserved fields are often wrong in the wild and are not needed.
        fileOffBits = ReadFields(data, FileHeaderSize, FileHeaderWidths)[4];
        headerStart = FileHeaderSize;
    }
    if (size < headerStart + 4) Invalid();
    const std::uint32_t headerSize = ReadFields(data + headerStart, 4, FieldWidths<1>{4})[0];
    if (!KnownHeaderSize(headerSize) || headerSize > size - headerStart) Invalid();

    DibLayout layout;
    std::int64_t width, height;
    std::uint32_t planes, colorsUsed = 0;
    std::size_t entrySize;
    std::array<std::uint32_t, InfoFieldCount> info{};
    if (headerSize == CoreHeaderSize) {
        const auto core = ReadFields(data + headerStart, CoreHeaderSize, CoreHeaderWidths);
        width = core[1];
        height = core[2];
        planes = core[3];
        layout.bitCount = int(core[4]);
        entrySize = 3;
    } else {
        info = ReadFields(data + headerStart, headerSize, InfoHeaderWidths);
        width = std::int32_t(info[InfoWidth]);
        height = std::int32_t(info[InfoHeight]);
        planes = info[InfoPlanes];
        layout.bitCount = int(info[InfoBitCount]);
        layout.compression = DibCompression(info[InfoCompression]);
        colorsUsed = info[InfoClrUsed];
        entrySize = 4;
    }
    if (height < 0) {
        layout.order = RowOrder::TopDown;
        height = -height;
    }
    if (planes != 1 || width <= 0 || height == 0 || !KnownBitCount(layout.bitCount)) Invalid();
    CheckPictureSize(width, height);
    layout.width = int(width);
    layout.height = int(height);
    CheckCompression(layout, headerSize);

    // Colour masks: inside V2 and later headers, else in 12 or 16 bytes after a 40-byte one.
    std::size_t tableStart = headerStart + headerSize;
    std::uint32_t masks[3] = {0, 0, 0};
    if (layout.compression == DibCompression::Bitfields ||
        layout.compression == DibCompression::AlphaBitfields) {
        if (headerSize == InfoHeaderSize) {
            const std::size_t maskBytes =
                layout.compression == DibCompression::Bitfields ? 12 : 16;
            if (size - tableStart < maskBytes) Invalid();
            const auto fields = ReadFields(data + tableStart, maskBytes, FieldWidths<3>{4, 4, 4});
            std::copy(fields.begin(), fields.end(), masks);
            tableStart += maskBytes;
        } else {
            masks[0] = info[InfoRedMask];
            masks[1] = info[InfoGreenMask];
            masks[2] = info[InfoBlueMask];
        }
    } else if (layout.bitCount == 16) {
        masks[0] = 0x7C00;  // X1R5G5B5
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (layout.bitCount == 32) {
        masks[0] = 0xFF0000;  // X8R8G8B8
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
    layout.red = MakeChannelMask(masks[0]);
    layout.green = MakeChannelMask(masks[1]);
    layout.blue = MakeChannelMask(masks[2]);

    // The colour table: the count the header gives, else the full table of the depth.
    const std::uint64_t claimed =
        colorsUsed != 0 ? colorsUsed : layout.bitCount <= 8 ? 1u << layout.bitCount : 0;
    if (container == DibContainer::Packed) {
        const std::uint64_t end = tableStart + claimed * entrySize;
        if (end > size) Invalid();
        layout.pixelOffset = std::size_t(end);
    } else {
        // bfOffBits is honoured: files may leave a gap after the table, or (OS/2) give a
        // table shorter than the depth's full one.
        if (fileOffBits < tableStart || fileOffBits > size) Invalid();
        layout.pixelOffset = fileOffBits;
    }
    const std::uint64_t room = (layout.pixelOffset - tableStart) / entrySize;
    // No picture uses more than 256 colours: a larger count that also runs into the pixels
    // is a broken header, not a long table.
    if (claimed > 256 && claimed > room) Invalid();
    if (layout.bitCount <= 8) {
        const std::size_t entries =
            std::size_t(std::min<std::uint64_t>({claimed, room, 1u << layout.bitCount}));
        for (std::size_t i = 0; i < entries; ++i)
            std::copy_n(data + tableStart + i * entrySize, 3, layout.palette.data() + i * 3);
    }

    // Uncompressed rows must all be present; the last row's padding may be missing.
    layout.stride = std::size_t((width * layout.bitCount + 31) / 32 * 4);
    if (layout.compression != DibCompression::Rle8 && layout.compression != DibCompression::Rle4) {
        const std::uint64_t rowBytes = std::uint64_t(width * layout.bitCount + 7) / 8;
        const std::uint64_t needed = std::uint64_t(height - 1) * layout.stride + rowBytes;
        if (needed > size - layout.pixelOffset) Invalid();
    }
    return layout;
}
