#include "ToneFilters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "FilterFrame.h"

// The curves are computed in extended precision with the factors stored as doubles, then
// tabulated: 256 evaluations per call instead of three per pixel.

void Contrast(Bitmap& picture, const TRect& selection, ContrastStep step) {
    const double factor = step == ContrastStep::Increase ? 2.0 : 0.5;
    const double offset = step == ContrastStep::Increase ? -128.0 : 64.0;
    ChannelTable table;
    for (int v = 0; v < 256; ++v) {
        const long double x = static_cast<long double>(v) * factor + offset;
        table[v] = ClampByte(static_cast<std::int32_t>(std::trunc(x)));
    }
    // The same in byte vectors: 2v - 128 is twice the part of v above 64, clamped; v / 2 + 64
    // is exact as a shift because v is not negative.
    const Bytes16 quarter = Bytes16{} + 64;
    if (step == ContrastStep::Increase)
        ApplyVectorRule(picture, selection, {table, table, table}, [&](Bytes16 v, int) {
            const Bytes16 above = SubtractClamped(v, quarter);
            return AddClamped(above, above);
        });
    else
        ApplyVectorRule(picture, selection, {table, table, table}, [&](Bytes16 v, int) { return (v >> 1) + quarter; });
}

namespace {
struct ChannelRange {
    int Min = 256, Max = -1;
    void Add(int v) {
        if (v < Min) Min = v;
        if (v > Max) Max = v;
    }
};

// The stretch of [min, max] onto [0, 255]; a single value stays as it is.
ChannelTable StretchTable(const ChannelRange& range) {
    if (range.Max <= range.Min) return IdentityTable();
    const double scale = 255.0L / static_cast<long double>(range.Max - range.Min);
    const double offset = -static_cast<long double>(scale) * range.Min;
    ChannelTable table;
    for (int v = 0; v < 256; ++v) {
        const long double x = static_cast<long double>(v) * scale + offset;
        table[v] = static_cast<std::uint8_t>(std::llrint(x));  // the low byte of the rounded value
    }
    return table;
}
}  // namespace

ChannelTables OptimizeTables(const Bitmap& picture, const TRect& selection) {
    // Measure: the selection as the region copy holds it, so any part outside the picture
    // counts as black. Whole blocks keep per-byte minima and maxima in three 16-byte vectors,
    // folded into the channel ranges at the end.
    Bytes16 low[3], high[3];
    for (int k = 0; k < 3; ++k) low[k] = Bytes16{} + 255, high[k] = Bytes16{};
    std::array<ChannelRange, 3> ranges;  // blue, green, red
    bool measuredBlock = false;
    ForEachBlock(
        picture, selection,
        [&](const std::uint8_t* p) {
            measuredBlock = true;
            for (int k = 0; k < 3; ++k) {
                Bytes16 v;
                std::memcpy(&v, p + 16 * k, 16);
                low[k] = Min(v, low[k]);
                high[k] = v > high[k] ? v : high[k];
            }
        },
        [&](std::uint8_t byte, int channel) { ranges[channel].Add(byte); });
    if (measuredBlock)
        for (std::size_t j = 0; j < BlockBytes; ++j) {
            ranges[j % 3].Add(low[j / 16][j % 16]);
            ranges[j % 3].Add(high[j / 16][j % 16]);
        }
    const TRect part = VisiblePart(picture, selection);
    if (part.Width() * part.Height() < selection.Width() * selection.Height())
        for (ChannelRange& range : ranges) range.Add(0);

    return {StretchTable(ranges[2]), StretchTable(ranges[1]), StretchTable(ranges[0])};
}

void Optimize(Bitmap& picture, const TRect& selection) {
    ApplyChannelTables(picture, selection, OptimizeTables(picture, selection));
}

ChannelTables LogaritmizeTables(ChannelSelector channels) {
    ChannelTable curve;
    for (int v = 0; v < 256; ++v)
        curve[v] = static_cast<std::uint8_t>(
            std::llrint(std::log10(static_cast<long double>(v + 1)) * 105.88L));
    const ChannelTable same = IdentityTable();
    const bool all = channels == ChannelSelector::All;
    return {all || channels == ChannelSelector::Red ? curve : same, all || channels == ChannelSelector::Green ? curve : same,
            all || channels == ChannelSelector::Blue ? curve : same};
}

void Logaritmize(Bitmap& picture, const TRect& selection, ChannelSelector channels) {
    ApplyChannelTables(picture, selection, LogaritmizeTables(channels));
}
