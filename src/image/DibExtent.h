#pragma once
// Where the parts of an uncompressed DIB lie: after the headers (and the masks a 40-byte
// header with bit fields is followed by) come the colour table, then the rows, each padded
// to a multiple of 4 bytes. The one rule for the DIB reader, the BMP and packed DIB writer
// and the SANE manager, which builds packed DIBs without the rest of the image library, so
// it stays in this header.
#include <cstdint>

struct DibExtent {
    std::uint64_t PixelOffset;  // where the rows start, counted from the information header
    std::uint64_t Stride;       // bytes per stored row, padding included
    std::uint64_t ImageSize;    // every row padded: what a biSizeImage other than 0 says
    // The bytes of rows a reader needs: writers may leave out the last row's padding.
    std::uint64_t RowsNeeded;
    constexpr std::uint64_t End() const { return PixelOffset + ImageSize; }
};

// A width x height DIB of `bitCount` bits per pixel whose colour table of `colours` entries,
// `entrySize` bytes each, starts `tableStart` bytes into it. A height of 0 needs no rows.
constexpr DibExtent DibExtentOf(std::uint64_t width, std::uint64_t height, std::uint64_t bitCount,
                                std::uint64_t tableStart, std::uint64_t colours, std::uint64_t entrySize) {
    const std::uint64_t stride = (width * bitCount + 31) / 32 * 4;
    const std::uint64_t lastRow = (width * bitCount + 7) / 8;
    return {tableStart + colours * entrySize, stride, stride * height,
            height > 0 ? (height - 1) * stride + lastRow : 0};
}
