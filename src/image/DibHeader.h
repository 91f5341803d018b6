#pragma once
// The layout of a device-independent bitmap: its headers read and checked, the colour table
// resolved, and where the pixel rows lie. Shared by the BMP file and packed DIB readers and
// by the writer.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

// Headers are little-endian fields of 1, 2 or 4 bytes, described by their widths in file
// order. A field lying past the end of a shortened header reads as 0.
template <std::size_t N>
using FieldWidths = std::array<std::uint8_t, N>;

constexpr FieldWidths<5> FileHeaderWidths = {2, 4, 2, 2, 4};  // bfType .. bfOffBits
constexpr std::size_t FileHeaderSize = 14;

// BITMAPCOREHEADER (OS/2 v1): size, 16-bit width and height, planes, bit count.
constexpr FieldWidths<5> CoreHeaderWidths = {4, 2, 2, 2, 2};
constexpr std::size_t CoreHeaderSize = 12;

// BITMAPINFOHEADER, then the four masks of the V2 to V5 headers.
enum InfoField {
    InfoSize,
    InfoWidth,
    InfoHeight,
    InfoPlanes,
    InfoBitCount,
    InfoCompression,
    InfoSizeImage,
    InfoXPelsPerMeter,
    InfoYPelsPerMeter,
    InfoClrUsed,
    InfoClrImportant,
    InfoRedMask,
    InfoGreenMask,
    InfoBlueMask,
    InfoAlphaMask,
    InfoFieldCount
};
constexpr FieldWidths<InfoFieldCount> InfoHeaderWidths = {4, 4, 4, 2, 2, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4};
constexpr std::size_t InfoHeaderSize = 40;

enum class DibCompression : std::uint32_t {
    Rgb = 0,
    Rle8 = 1,
    Rle4 = 2,
    Bitfields = 3,
    Jpeg = 4,
    Png = 5,
    AlphaBitfields = 6
};

enum class RowOrder { BottomUp, TopDown };

// One channel of a 16- or 32-bit pixel: value = (pixel & Mask) >> Shift, scaled so that
// `Max` becomes 255. A zero mask gives a channel that is always 0.
struct ChannelMask {
    std::uint32_t Mask = 0;
    int Shift = 0;
    std::uint32_t Max = 0;
};
ChannelMask MakeChannelMask(std::uint32_t mask);

struct DibLayout {
    int Width = 0;
    int Height = 0;
    RowOrder Order = RowOrder::BottomUp;
    int BitCount = 0;
    DibCompression Compression = DibCompression::Rgb;
    ChannelMask Red, Green, Blue;  // for 16 and 32 bits
    // Blue, green, red for each index; entries the file does not give stay black.
    std::array<std::uint8_t, 256 * 3> Palette{};
    std::size_t PixelOffset = 0;  // from the start of the data handed to the reader
    std::size_t Stride = 0;       // bytes per stored row, padding included
};

// Where the pixel rows of a packed DIB or a file start.
enum class DibContainer { File, Packed };

// Reads and checks the headers and the colour table. `data` starts with the file header for
// a file, with the information header for a packed DIB. Throws EInvalidGraphic for anything
// malformed, unsupported or past the picture size bound; allocates nothing.
DibLayout ReadDibLayout(const std::uint8_t* data, std::size_t size, DibContainer container);

// Little-endian field access by width table.
template <std::size_t N>
std::array<std::uint32_t, N> ReadFields(const std::uint8_t* data, std::size_t available, const FieldWidths<N>& widths) {
    std::array<std::uint32_t, N> values{};
    std::size_t offset = 0;
    for (std::size_t i = 0; i < N; ++i) {
        if (offset + widths[i] <= available)
            for (int b = widths[i] - 1; b >= 0; --b) values[i] = values[i] << 8 | data[offset + b];
        offset += widths[i];
    }
    return values;
}

// Writes the first values.size() fields of a width table.
template <std::size_t N>
std::uint8_t* WriteFields(std::uint8_t* out, const FieldWidths<N>& widths,
                          std::initializer_list<std::uint32_t> values) {
    std::size_t i = 0;
    for (const std::uint32_t value : values) {
        for (int b = 0; b < widths[i]; ++b) *out++ = std::uint8_t(value >> (8 * b));
        ++i;
    }
    return out;
}
