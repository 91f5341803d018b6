#pragma once
// What every filter routine shares: the two pixel helpers, the per-pixel maps and the
// region loop. Pixels are 3 bytes, blue, green, red.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/Bitmap.h"
#include "image/PackedColor.h"
#include "filters/Parallel.h"
#include "filters/PlainRules.h"
#include "image/Rect.h"
#include "image/Region.h"

// Written with min and max so that it compiles without branches: filters clamp noisy data.
constexpr std::uint8_t ClampByte(std::int32_t v) { return std::uint8_t(std::min(std::max(v, 0), 255)); }

// The unweighted grey of a pixel: (R + G + B) div 3, truncating.
constexpr std::uint8_t PixelGray(const std::uint8_t* pixel) {
    return std::uint8_t((unsigned(pixel[0]) + pixel[1] + pixel[2]) / 3);
}

// The region loop: copies the selection out of the picture (black where it lies outside),
// lets `passes` rewrite that region picture, and draws it back, clipped to the picture.
template <class Passes>
void FilterFrame(Bitmap& picture, const TRect& selection, Passes&& passes) {
    Bitmap region = CopyRegion(picture, selection);
    passes(region);
    DrawRegion(picture, region, selection.Left, selection.Top);
}

// width x height pixels whose rows lie `Stride` bytes apart: a selection inside a picture, or
// a whole region copy.
struct PixelRows {
    std::uint8_t* First;
    std::ptrdiff_t Stride;
    int Width, Height;
    std::uint8_t* Row(int y) const { return First + y * Stride; }
};
inline PixelRows RowsOf(Bitmap& picture) {
    return {picture.Row(0), std::ptrdiff_t(picture.RowBytes()), picture.Width(), picture.Height()};
}

// True when the selection is not empty and lies wholly inside the picture.
inline bool SelectionInside(const Bitmap& picture, const TRect& selection) {
    return selection.Left >= 0 && selection.Top >= 0 && selection.Right < picture.Width() &&
           selection.Bottom < picture.Height() && selection.Width() > 0 && selection.Height() > 0;
}
// The selected pixels in place; the selection must lie inside the picture.
inline PixelRows SelectedRows(Bitmap& picture, const TRect& selection) {
    return {picture.Pixel(selection.Left, selection.Top), std::ptrdiff_t(picture.RowBytes()), int(selection.Width()),
            int(selection.Height())};
}

// FilterFrame for a pass that may rewrite the pixels it has read, pass(PixelRows): a selection
// lying wholly inside the picture is handed over in place, which spares the copy out and the
// copy back (two passes over the selection and a fresh allocation); any other selection goes
// through the region copy, so that its parts outside the picture read as black.
template <class Pass>
void FilterInPlace(Bitmap& picture, const TRect& selection, Pass&& pass) {
    if (SelectionInside(picture, selection)) {
        pass(SelectedRows(picture, selection));
        return;
    }
    FilterFrame(picture, selection, [&](Bitmap& region) {
        if (!region.Empty()) pass(RowsOf(region));
    });
}

// The part of the selection inside the picture; Width() or Height() is 0 when they do not meet.
TRect VisiblePart(const Bitmap& picture, const TRect& selection);

// The one walk over the selected pixels. A point rule reads only its own pixel and the frame
// never draws back what lies outside the picture, so the walk visits the visible part of the
// selection in place: the same result as the region copy, without it. row(first byte, bytes, y)
// gets each visible row, y counted from the part's top; rows go in parallel bands of BandRows
// (so `row` may only touch its own row, and per-band state is keyed by y / BandRows). With a
// meter each band advances it by its rows, and a cancel throws ECancelled. `Picture` is Bitmap
// or const Bitmap.
template <class Picture, class Row>
void ForEachSelectedRow(Picture& picture, const TRect& selection, ProgressMeter* meter, Row row) {
    const TRect part = VisiblePart(picture, selection);
    const std::size_t bytes = std::size_t(part.Width()) * 3;
    if (bytes == 0) return;
    ParallelBands(
        part.Height(), BandRows,
        [&](std::int64_t first, std::int64_t end) {
            for (int y = int(first); y < end; ++y) row(picture.Pixel(part.Left, part.Top + y), bytes, y);
        },
        meter);
}

// The visible rows of a selection, for a meter's total.
inline std::int64_t VisibleRows(const Bitmap& picture, const TRect& selection) {
    const TRect part = VisiblePart(picture, selection);
    return part.Width() > 0 ? part.Height() : 0;
}

// Runs a point rule, rule(std::uint8_t* pixel), on every selected pixel.
template <class Rule>
void ApplyPointRule(Bitmap& picture, const TRect& selection, Rule rule, ProgressMeter* meter = nullptr) {
    ForEachSelectedRow(picture, selection, meter, [&rule](std::uint8_t* p, std::size_t bytes, int) {
        // A copy of the rule for the row: what it holds (table pointers) then stays in
        // registers, where the byte stores, which may alias anything, would otherwise have it
        // reloaded for every pixel.
        const Rule local = rule;
        for (std::uint8_t* const end = p + bytes; p != end; p += 3) local(p);
    });
}

// A tone curve for one channel: the new value of every old value.
using ChannelTable = std::array<std::uint8_t, 256>;
struct ChannelTables {
    ChannelTable Red, Green, Blue;
};
ChannelTable IdentityTable();

// The tables of `first` followed by those of `then`: one pass instead of two.
ChannelTables ComposeTables(const ChannelTables& first, const ChannelTables& then);

// Replaces each selected channel value by its table entry.
void ApplyChannelTables(Bitmap& picture, const TRect& selection, const ChannelTables& tables,
                        ProgressMeter* meter = nullptr);

// A rule that a few byte-vector operations give exactly, run 48 bytes (16 pixels) at a time.
// The block is held in three 16-byte vectors; byte j of the block always belongs to channel
// j mod 3 (blue, green, red), so a per-channel constant is one fixed 48-byte pattern:
// ChannelPattern lays it out. rule(Bytes16 values, int part) gets part 0, 1 or 2 of a block,
// and must treat each byte on its own.
using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
struct BlockPattern {
    Bytes16 Part[3];
};
BlockPattern ChannelPattern(std::uint8_t blue, std::uint8_t green, std::uint8_t red);

// Splits a row of `bytes` bytes into whole blocks of 48, block(first byte of the block), and
// the bytes after the last whole block, tail(byte, channel) with channel 0 blue, 1 green, 2 red.
constexpr std::size_t BlockBytes = 48;
template <class Byte, class Block, class Tail>
void SplitBlocks(Byte* p, std::size_t bytes, Block block, Tail tail) {
    std::size_t i = 0;
    for (; i + BlockBytes <= bytes; i += BlockBytes) block(p + i);
    for (; i < bytes; ++i) tail(p[i], int(i % 3));
}

// Runs the vector rule on one block in place.
template <class VectorRule>
void ApplyToBlock(std::uint8_t* p, VectorRule& rule) {
    for (int k = 0; k < 3; ++k) {
        Bytes16 v;
        std::memcpy(&v, p + 16 * k, 16);
        v = rule(v, k);
        std::memcpy(p + 16 * k, &v, 16);
    }
}

// The tables of a vector rule: a block holding value v in every byte comes back holding each
// channel's new value in that channel's bytes.
template <class VectorRule>
ChannelTables TablesOf(VectorRule rule) {
    ChannelTables tables;
    for (int v = 0; v < 256; ++v) {
        std::uint8_t block[BlockBytes];
        std::memset(block, v, BlockBytes);
        ApplyToBlock(block, rule);
        tables.Blue[v] = block[0], tables.Green[v] = block[1], tables.Red[v] = block[2];
    }
    return tables;
}

// A vector rule over the selection: whole blocks in byte vectors, the bytes after a row's last
// whole block through the rule's own tables (TablesOf), so both come from one rule. The blocks
// are what this buys over ApplyChannelTables(TablesOf(rule)): a table look-up per byte runs
// about nine times slower (bench/FilterBench.cpp, BM_InvertByTables against BM_InvertAll:
// 45 ms against 5 ms on 24 megapixels, one thread). A rule should hold its constants by value:
// held by reference, they are loaded again after every block's store (a tenth more time).
// `plain(channel, value)` is the curve the rule gives exactly, channel 0 blue, 1 green, 2 red;
// with PlainRulesChosen() it rewrites every byte instead.
template <class VectorRule, class PlainCurve>
void ApplyVectorRule(Bitmap& picture, const TRect& selection, VectorRule rule, PlainCurve plain,
                     ProgressMeter* meter = nullptr) {
    if (PlainRulesChosen()) {
        ApplyPointRule(
            picture, selection,
            [plain](std::uint8_t* p) {
                for (int c = 0; c < 3; ++c) p[c] = std::uint8_t(plain(c, p[c]));
            },
            meter);
        return;
    }
    const ChannelTables tables = TablesOf(rule);
    const std::uint8_t* const table[3] = {tables.Blue.data(), tables.Green.data(), tables.Red.data()};
    ForEachSelectedRow(picture, selection, meter, [&](std::uint8_t* p, std::size_t bytes, int) {
        // A copy of the rule for the row, as in ApplyPointRule: the constants a rule holds by
        // value then stay in registers across the block stores.
        VectorRule local = rule;
        SplitBlocks(
            p, bytes, [&](std::uint8_t* block) { ApplyToBlock(block, local); },
            [&](std::uint8_t& byte, int channel) { byte = table[channel][byte]; });
    });
}

// Byte-vector pieces for such rules, unsigned and exact.
inline Bytes16 Min(Bytes16 a, Bytes16 b) { return a < b ? a : b; }
inline Bytes16 Max(Bytes16 a, Bytes16 b) { return a > b ? a : b; }
// a + b, or 255 where that would pass it.
inline Bytes16 AddClamped(Bytes16 a, Bytes16 b) { return a + Min(b, ~a); }
// a - b, or 0 where that would fall below it.
inline Bytes16 SubtractClamped(Bytes16 a, Bytes16 b) { return a - Min(b, a); }
