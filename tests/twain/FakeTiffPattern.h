#pragma once
// TIFF files in memory as a Linux source's native transfer brings them: uncompressed strips
// of two rows, in either byte order, for the four layouts sources send (24-bit colour, 8-bit
// grey, 1-bit black and white, 8-bit palette). Written here byte by byte, apart from any
// TIFF library, so that the program's reader is checked against an independent writer.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FakeDibPattern.h"

enum class TFakeTiffKind { Rgb, Grey, BlackWhite, Palette };

inline bool ParseFakeTiffKind(const std::string& name, TFakeTiffKind& kind) {
    if (name == "rgb")
        kind = TFakeTiffKind::Rgb;
    else if (name == "grey")
        kind = TFakeTiffKind::Grey;
    else if (name == "bw")
        kind = TFakeTiffKind::BlackWhite;
    else if (name == "palette")
        kind = TFakeTiffKind::Palette;
    else
        return false;
    return true;
}

// The colour of (x, y), counted from the top-left corner.
inline TFakeColor FakeTiffColor(int x, int y, TFakeTiffKind kind) {
    switch (kind) {
        case TFakeTiffKind::Rgb: return FakeColor(x, y, 24);
        case TFakeTiffKind::Palette: return FakeColor(x, y, 8);
        case TFakeTiffKind::Grey: {
            const std::uint8_t level = std::uint8_t(FakeIndex(x, y, 8));
            return {level, level, level};
        }
        case TFakeTiffKind::BlackWhite: {
            const std::uint8_t level = FakeIndex(x, y, 1) ? 255 : 0;  // 1 is white
            return {level, level, level};
        }
    }
    return {};
}

inline std::vector<std::uint8_t> MakeFakeTiff(int width, int height, TFakeTiffKind kind, bool bigEndian) {
    constexpr int RowsPerStrip = 2;
    const int bits = kind == TFakeTiffKind::Rgb ? 24 : kind == TFakeTiffKind::BlackWhite ? 1 : 8;
    const std::size_t stride = (std::size_t(width) * bits + 7) / 8;
    const int strips = (height + RowsPerStrip - 1) / RowsPerStrip;
    std::vector<std::uint8_t> file(8);
    auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        if (file.size() < at + bytes) file.resize(at + bytes);
        for (int b = 0; b < bytes; ++b) file[at + b] = std::uint8_t(value >> (8 * (bigEndian ? bytes - 1 - b : b)));
    };
    file[0] = file[1] = bigEndian ? 'M' : 'I';
    put(2, 42, 2);

    // The pixel rows, strip after strip.
    std::vector<std::uint32_t> offsets, counts;
    for (int strip = 0; strip < strips; ++strip) {
        offsets.push_back(std::uint32_t(file.size()));
        const int rows = std::min(RowsPerStrip, height - strip * RowsPerStrip);
        counts.push_back(std::uint32_t(stride * std::size_t(rows)));
        for (int r = 0; r < rows; ++r) {
            const int y = strip * RowsPerStrip + r;
            std::vector<std::uint8_t> row(stride);
            for (int x = 0; x < width; ++x) {
                const TFakeColor c = FakeTiffColor(x, y, kind);
                if (kind == TFakeTiffKind::Rgb) {
                    row[std::size_t(x) * 3] = c.Red;
                    row[std::size_t(x) * 3 + 1] = c.Green;
                    row[std::size_t(x) * 3 + 2] = c.Blue;
                } else if (kind == TFakeTiffKind::BlackWhite) {
                    if (c.Red) row[std::size_t(x) / 8] |= std::uint8_t(0x80 >> (x % 8));
                } else {
                    row[std::size_t(x)] = std::uint8_t(FakeIndex(x, y, 8));
                }
            }
            file.insert(file.end(), row.begin(), row.end());
        }
    }
    if (file.size() % 2) file.push_back(0);

    // The directory, then the values that do not fit in their entries.
    struct TEntry {
        std::uint16_t tag, type;
        std::vector<std::uint32_t> values;
    };
    constexpr std::uint16_t Short = 3, Long = 4;
    const std::uint16_t photometric = kind == TFakeTiffKind::Rgb ? 2 : kind == TFakeTiffKind::Palette ? 3 : 1;
    std::vector<TEntry> entries = {
        {256, Long, {std::uint32_t(width)}},
        {257, Long, {std::uint32_t(height)}},
        {258, Short,
         kind == TFakeTiffKind::Rgb ? std::vector<std::uint32_t>{8, 8, 8}
                                    : std::vector<std::uint32_t>{std::uint32_t(bits)}},
        {259, Short, {1}},
        {262, Short, {photometric}},
        {273, Long, offsets},
        {277, Short, {kind == TFakeTiffKind::Rgb ? 3u : 1u}},
        {278, Long, {RowsPerStrip}},
        {279, Long, counts},
        {284, Short, {1}},
    };
    if (kind == TFakeTiffKind::Palette) {
        std::vector<std::uint32_t> map(768);
        for (int i = 0; i < 256; ++i) {
            const TFakeColor c = FakePaletteEntry(i);
            map[i] = c.Red * 257u;
            map[256 + i] = c.Green * 257u;
            map[512 + i] = c.Blue * 257u;
        }
        entries.push_back({320, Short, map});
    }
    const std::size_t directory = file.size();
    put(4, std::uint32_t(directory), 4);
    put(directory, std::uint32_t(entries.size()), 2);
    std::size_t outside = directory + 2 + 12 * entries.size() + 4;
    put(outside - 4, 0, 4);  // no next directory
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TEntry& e = entries[i];
        const std::size_t at = directory + 2 + 12 * i;
        const int size = e.type == Short ? 2 : 4;
        put(at, e.tag, 2);
        put(at + 2, e.type, 2);
        put(at + 4, std::uint32_t(e.values.size()), 4);
        std::size_t valuesAt = at + 8;
        if (e.values.size() * size > 4) {
            put(at + 8, std::uint32_t(outside), 4);
            valuesAt = outside;
            outside += e.values.size() * size;
        }
        for (std::size_t v = 0; v < e.values.size(); ++v) put(valuesAt + v * size, e.values[v], size);
    }
    return file;
}
