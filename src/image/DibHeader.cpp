#include "image/DibHeader.h"

#include <algorithm>
#include <bit>

#include "image/Bitmap.h"
#include "image/DibExtent.h"
#include "common/Errors.h"

namespace {
constexpr std::uint32_t V2HeaderSize = 52;  // BITMAPINFOHEADER plus the three colour masks
constexpr std::uint32_t V3HeaderSize = 56;  // ... plus the alpha mask
constexpr std::uint32_t V4HeaderSize = 108;
constexpr std::uint32_t V5HeaderSize = 124;

[[noreturn]] void Invalid() { throw EInvalidGraphic(); }

// OS/2 v2 headers are 16 to 64 bytes long; a 40-byte one reads the same as Windows'. Their
// compression values 3 and 4 mean Huffman 1D and RLE24, not bit fields and JPEG.
bool IsOs2InfoHeader(std::uint32_t headerSize) {
    return headerSize >= 16 && headerSize <= 64 && headerSize != InfoHeaderSize && headerSize != V2HeaderSize &&
           headerSize != V3HeaderSize;
}

bool KnownHeaderSize(std::uint32_t headerSize) {
    return headerSize == CoreHeaderSize || (headerSize >= 16 && headerSize <= 64) || headerSize == V4HeaderSize ||
           headerSize == V5HeaderSize;
}

bool KnownBitCount(int bitCount) {
    return bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

void CheckCompression(const DibLayout& layout, std::uint32_t headerSize) {
    switch (layout.Compression) {
        case DibCompression::Rgb: return;
        case DibCompression::Rle8:
        case DibCompression::Rle4:
            // Run-length data is bottom-up by definition: a top-down RLE header is broken.
            if (layout.BitCount != (layout.Compression == DibCompression::Rle8 ? 8 : 4) ||
                layout.Order == RowOrder::TopDown)
                Invalid();
            return;
        case DibCompression::Bitfields:
        case DibCompression::AlphaBitfields:
            if (IsOs2InfoHeader(headerSize) || (layout.BitCount != 16 && layout.BitCount != 32)) Invalid();
            return;
        default:  // embedded JPEG or PNG, OS/2 RLE24, unknown
            Invalid();
    }
}
}  // namespace

ChannelMask MakeChannelMask(std::uint32_t mask) {
    ChannelMask channel;
    channel.Mask = mask;
    if (mask != 0) {
        channel.Shift = std::countr_zero(mask);
        channel.Max = mask >> channel.Shift;
    }
    return channel;
}

namespace {
// What the headers say beyond the layout itself, for the steps after them.
struct HeaderFacts {
    std::size_t HeaderStart = 0;  // 14 in a file, 0 in a packed DIB
    std::uint32_t HeaderSize = 0;
    std::size_t FileOffBits = 0;
    std::array<std::uint32_t, InfoFieldCount> Info{};  // all 0 for a core header
    std::uint32_t ColorsUsed = 0;
    std::size_t EntrySize = 4;  // bytes per colour table entry: 3 after a core header
};

// The file header (for a file) and the core or information header: the picture's size,
// depth, compression and row order, all checked.
HeaderFacts ReadHeaders(const std::uint8_t* data, std::size_t size, DibContainer container, DibLayout& layout) {
    HeaderFacts facts;
    if (container == DibContainer::File) {
        if (size < FileHeaderSize || data[0] != 'B' || data[1] != 'M') Invalid();
        // bfSize and the reserved fields are often wrong in the wild and are not needed.
        facts.FileOffBits = ReadFields(data, FileHeaderSize, FileHeaderWidths)[4];
        facts.HeaderStart = FileHeaderSize;
    }
    if (size < facts.HeaderStart + 4) Invalid();
    facts.HeaderSize = ReadFields(data + facts.HeaderStart, 4, FieldWidths<1>{4})[0];
    if (!KnownHeaderSize(facts.HeaderSize) || facts.HeaderSize > size - facts.HeaderStart) Invalid();

    std::int64_t width, height;
    std::uint32_t planes;
    if (facts.HeaderSize == CoreHeaderSize) {
        const auto core = ReadFields(data + facts.HeaderStart, CoreHeaderSize, CoreHeaderWidths);
        width = core[1];
        height = core[2];
        planes = core[3];
        layout.BitCount = int(core[4]);
        facts.EntrySize = 3;
    } else {
        const auto& info = facts.Info = ReadFields(data + facts.HeaderStart, facts.HeaderSize, InfoHeaderWidths);
        width = std::int32_t(info[InfoWidth]);
        height = std::int32_t(info[InfoHeight]);
        planes = info[InfoPlanes];
        layout.BitCount = int(info[InfoBitCount]);
        layout.Compression = DibCompression(info[InfoCompression]);
        facts.ColorsUsed = info[InfoClrUsed];
    }
    if (height < 0) {
        layout.Order = RowOrder::TopDown;
        height = -height;
    }
    if (planes != 1 || width <= 0 || height == 0 || !KnownBitCount(layout.BitCount)) Invalid();
    CheckPictureSize(width, height);
    layout.Width = int(width);
    layout.Height = int(height);
    CheckCompression(layout, facts.HeaderSize);
    return facts;
}

// The colour masks: inside V2 and later headers, else in 12 or 16 bytes after a 40-byte one;
// the usual ones for 16 and 32 bits without bit fields. Returns where the colour table starts.
std::size_t ReadMasks(const std::uint8_t* data, std::size_t size, const HeaderFacts& facts, DibLayout& layout) {
    std::size_t tableStart = facts.HeaderStart + facts.HeaderSize;
    std::uint32_t masks[3] = {0, 0, 0};
    if (layout.Compression == DibCompression::Bitfields || layout.Compression == DibCompression::AlphaBitfields) {
        if (facts.HeaderSize == InfoHeaderSize) {
            const std::size_t maskBytes = layout.Compression == DibCompression::Bitfields ? 12 : 16;
            if (size - tableStart < maskBytes) Invalid();
            const auto fields = ReadFields(data + tableStart, maskBytes, FieldWidths<3>{4, 4, 4});
            std::copy(fields.begin(), fields.end(), masks);
            tableStart += maskBytes;
        } else {
            masks[0] = facts.Info[InfoRedMask];
            masks[1] = facts.Info[InfoGreenMask];
            masks[2] = facts.Info[InfoBlueMask];
        }
    } else if (layout.BitCount == 16) {
        masks[0] = 0x7C00;  // X1R5G5B5
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (layout.BitCount == 32) {
        masks[0] = 0xFF0000;  // X8R8G8B8
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
    layout.Red = MakeChannelMask(masks[0]);
    layout.Green = MakeChannelMask(masks[1]);
    layout.Blue = MakeChannelMask(masks[2]);
    return tableStart;
}

// The colour table, the count the header gives or else the full table of the depth, and
// where the pixels start.
void ReadPalette(const std::uint8_t* data, std::size_t size, DibContainer container, const HeaderFacts& facts,
                 std::size_t tableStart, DibLayout& layout) {
    const std::uint64_t claimed = facts.ColorsUsed != 0  ? facts.ColorsUsed
                                  : layout.BitCount <= 8 ? 1u << layout.BitCount
                                                         : 0;
    if (container == DibContainer::Packed) {
        const std::uint64_t end =
            DibExtentOf(layout.Width, layout.Height, layout.BitCount, tableStart, claimed, facts.EntrySize).PixelOffset;
        if (end > size) Invalid();
        layout.PixelOffset = std::size_t(end);
    } else {
        // bfOffBits is honoured: files may leave a gap after the table, or (OS/2) give a
        // table shorter than the depth's full one.
        if (facts.FileOffBits < tableStart || facts.FileOffBits > size) Invalid();
        layout.PixelOffset = facts.FileOffBits;
    }
    const std::uint64_t room = (layout.PixelOffset - tableStart) / facts.EntrySize;
    // No picture uses more than 256 colours: a larger count that also runs into the pixels
    // is a broken header, not a long table.
    if (claimed > 256 && claimed > room) Invalid();
    if (layout.BitCount <= 8) {
        const std::size_t entries = std::size_t(std::min<std::uint64_t>({claimed, room, 1u << layout.BitCount}));
        for (std::size_t i = 0; i < entries; ++i)
            std::copy_n(data + tableStart + i * facts.EntrySize, 3, layout.Palette.data() + i * 3);
    }
}

// Uncompressed rows must all be present; the last row's padding may be missing. biSizeImage
// is not read: 0 is allowed for uncompressed rows, and writers get it wrong.
void CheckRows(std::size_t size, DibLayout& layout) {
    const DibExtent extent = DibExtentOf(layout.Width, layout.Height, layout.BitCount, layout.PixelOffset, 0, 0);
    layout.Stride = std::size_t(extent.Stride);
    if (layout.Compression == DibCompression::Rle8 || layout.Compression == DibCompression::Rle4) return;
    if (extent.RowsNeeded > size - layout.PixelOffset) Invalid();
}
}  // namespace

DibLayout ReadDibLayout(const std::uint8_t* data, std::size_t size, DibContainer container) {
    DibLayout layout;
    const HeaderFacts facts = ReadHeaders(data, size, container, layout);
    const std::size_t tableStart = ReadMasks(data, size, facts, layout);
    ReadPalette(data, size, container, facts, tableStart, layout);
    CheckRows(size, layout);
    return layout;
}
