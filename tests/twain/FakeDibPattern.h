#pragma once
// The pictures the fake source transfers: every pixel's colour follows from its position, so
// a test can check a whole transferred picture, row order and colour table included.
#include <cstdint>
#include <cstring>
#include <vector>

struct TFakeColor {
    std::uint8_t Red, Green, Blue;
    bool operator==(const TFakeColor&) const = default;
};

// Colour-table entry `index` of a 1-, 4- or 8-bit fake picture.
inline TFakeColor FakePaletteEntry(int index) {
    return {std::uint8_t(index * 7 + 3), std::uint8_t(255 - index), std::uint8_t(index * 29 + 100)};
}

// The colour-table index of (x, y), counted from the top-left corner.
inline int FakeIndex(int x, int y, int bits) { return (x * 3 + y * 5) % (1 << bits); }

// The colour of (x, y), counted from the top-left corner.
inline TFakeColor FakeColor(int x, int y, int bits) {
    if (bits <= 8) return FakePaletteEntry(FakeIndex(x, y, bits));
    return {std::uint8_t(x * 13 + y * 17 + 5), std::uint8_t(y * 11), std::uint8_t(x * 7 + y)};
}

// A packed DIB (BITMAPINFOHEADER, full colour table, padded rows) of the pattern. A negative
// height stores the rows top-down.
inline std::vector<std::uint8_t> MakeFakeDib(int width, int height, int bits) {
    const int rows = height < 0 ? -height : height;
    const std::size_t stride = std::size_t((width * bits + 31) / 32 * 4);
    const int entries = bits <= 8 ? 1 << bits : 0;
    const std::size_t pixelStart = 40 + std::size_t(entries) * 4;
    std::vector<std::uint8_t> dib(pixelStart + stride * std::size_t(rows));
    auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int b = 0; b < bytes; ++b) dib[at + b] = std::uint8_t(value >> (8 * b));
    };
    put(0, 40, 4);
    put(4, std::uint32_t(width), 4);
    put(8, std::uint32_t(height), 4);
    put(12, 1, 2);
    put(14, std::uint32_t(bits), 2);
    put(20, std::uint32_t(stride * std::size_t(rows)), 4);
    for (int i = 0; i < entries; ++i) {
        const TFakeColor c = FakePaletteEntry(i);
        dib[40 + i * 4] = c.Blue;
        dib[40 + i * 4 + 1] = c.Green;
        dib[40 + i * 4 + 2] = c.Red;
    }
    for (int y = 0; y < rows; ++y) {
        const int stored = height < 0 ? y : rows - 1 - y;
        std::uint8_t* row = dib.data() + pixelStart + std::size_t(stored) * stride;
        for (int x = 0; x < width; ++x) {
            if (bits == 24) {
                const TFakeColor c = FakeColor(x, y, bits);
                row[x * 3] = c.Blue;
                row[x * 3 + 1] = c.Green;
                row[x * 3 + 2] = c.Red;
            } else {
                const int bit = x * bits;
                row[bit / 8] |= std::uint8_t(FakeIndex(x, y, bits) << (8 - bits - bit % 8));
            }
        }
    }
    return dib;
}
