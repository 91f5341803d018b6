#pragma once
// What every filter routine shares: the two pixel helpers, the per-pixel maps and the
// region loop. Pixels are 3 bytes, blue, green, red.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Bitmap.h"
#include "PackedColor.h"
#include "Rect.h"
#include "Region.h"

// Written with min and max so that it compiles without branches: filters clamp noisy data.
constexpr std::uint8_t ClampByte(std::int32_t v) {
    return std::uint8_t(std::min(std::max(v, 0), 255));
}

// The unweighted grey of a pixel: (R + G + B) div 3, truncating.
constexpr std::uint8_t PixelGray(const std::uint8_t* pixel) {
    return std::uint8_t((unsigned(pixel[0]) + pixel[1] + pixel[2]) / 3);
}

// A width x height array of cells, zero-filled, reached by rows.
template <class Cell>
class PixelMap {
public:
    PixelMap(int width, int height)
        : width_(width), height_(height), cells_(std::size_t(width) * std::size_t(height)) {}
    int Width() const { return width_; }
    int Height() const { return height_; }
    Cell* Row(int y) { return cells_.data() + std::size_t(y) * std::size_t(width_); }
    const Cell* Row(int y) const { return cells_.data() + std::size_t(y) * std::size_t(width_); }
    Cell& At(int x, int y) { return Row(y)[x]; }
    const Cell& At(int x, int y) const { return Row(y)[x]; }

private:
    int width_, height_;
    std::vector<Cell> cells_;
};
using GrayMap = PixelMap<std::uint8_t>;
using ColorMap = PixelMap<PackedColor>;

// The grey of every pixel of a picture.
GrayMap MakeGrayMap(const Bitmap& picture);

// The region loop: copies the selection out of the picture (black where it lies outside),
// lets `passes` rewrite that region picture, and draws it back, clipped to the picture.
template <class Passes>
void FilterFrame(Bitmap& picture, const TRect& selection, Passes&& passes) {
    Bitmap region = CopyRegion(picture, selection);
    passes(region);
    DrawRegion(picture, region, selection.Left, selection.Top);
}

// The selection covering the whole picture: (0, 0, width - 1, height - 1).
inline TRect WholePicture(const Bitmap& picture) {
    return {0, 0, picture.Width() - 1, picture.Height() - 1};
}

// The part of the selection inside the picture; Width() or Height() is 0 when they do not meet.
TRect VisiblePart(const Bitmap& picture, const TRect& selection);

// Runs a point rule, rule(std::uint8_t* pixel), on every selected pixel. A point rule reads
// only its own pixel and the frame never draws back what lies outside the picture, so the
// rule runs in place on the visible part: the same result as the region copy, without it.
template <class Rule>
void ApplyPointRule(Bitmap& picture, const TRect& selection, Rule rule) {
    const TRect part = VisiblePart(picture, selection);
    for (int y = part.Top; y < part.Top + part.Height(); ++y) {
        std::uint8_t* p = picture.Pixel(part.Left, y);
        std::uint8_t* const end = p + part.Width() * 3;
        for (; p != end; p += 3) rule(p);
    }
}

// A tone curve for one channel: the new value of every old value.
using ChannelTable = std::array<std::uint8_t, 256>;
struct ChannelTables {
    ChannelTable Red, Green, Blue;
};
ChannelTable IdentityTable();

// Replaces each selected channel value by its table entry.
void ApplyChannelTables(Bitmap& picture, const TRect& selection, const ChannelTables& tables);
