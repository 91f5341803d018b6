#include "filters/ToneFilters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "filters/ChannelRanges.h"
#include "filters/FilterFrame.h"

// The curves of Optimize and Logaritmize are computed in extended precision with the factors
// stored as doubles, then tabulated: 256 evaluations per call instead of three per pixel.

// The rule is the long double curve trunc(v * factor + offset), clamped, with factor 2 and
// offset -128 (Increase) or 0.5 and 64 (Decrease). In byte vectors: 2v - 128 is twice the part
// of v above 64, clamped; v / 2 + 64 is exact as a shift because v is not negative. The tests
// hold the vector rule to the curve on every value.
void Contrast(Bitmap& picture, const TRect& selection, ContrastStep step, const ProgressCallback& progress) {
    const Bytes16 quarter = Bytes16{} + 64;
    const bool increase = step == ContrastStep::Increase;
    const double factor = increase ? 2.0 : 0.5, offset = increase ? -128.0 : 64.0;
    auto curve = [factor, offset](int, int v) {
        return ClampByte(std::int32_t(std::trunc(static_cast<long double>(v) * factor + offset)));
    };
    RunCancellable(picture, progress, VisibleRows(picture, selection), [&](Bitmap& target, ProgressMeter* meter) {
        if (increase)
            ApplyVectorRule(
                target, selection,
                [quarter](Bytes16 v, int) {
                    const Bytes16 above = SubtractClamped(v, quarter);
                    return AddClamped(above, above);
                },
                curve, meter);
        else
            ApplyVectorRule(
                target, selection, [quarter](Bytes16 v, int) { return (v >> 1) + quarter; }, curve, meter);
    });
}

namespace {
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
    // Measure the selection as the region copy holds it, so any part outside the picture counts
    // as black.
    std::array<ChannelRange, 3> ranges = VisibleChannelRanges(picture, selection);  // blue, green, red
    const TRect part = VisiblePart(picture, selection);
    if (part.Width() * part.Height() < selection.Width() * selection.Height())
        for (ChannelRange& range : ranges) range.Add(0);

    return {StretchTable(ranges[2]), StretchTable(ranges[1]), StretchTable(ranges[0])};
}

void Optimize(Bitmap& picture, const TRect& selection, const ProgressCallback& progress) {
    const ChannelTables tables = OptimizeTables(picture, selection);
    RunCancellable(picture, progress, VisibleRows(picture, selection),
                   [&](Bitmap& target, ProgressMeter* meter) { ApplyChannelTables(target, selection, tables, meter); });
}

ChannelTables LogaritmizeTables(ChannelSelector channels) {
    ChannelTable curve;
    for (int v = 0; v < 256; ++v)
        curve[v] = static_cast<std::uint8_t>(std::llrint(std::log10(static_cast<long double>(v + 1)) * 105.88L));
    const ChannelTable same = IdentityTable();
    const bool all = channels == ChannelSelector::All;
    return {all || channels == ChannelSelector::Red ? curve : same,
            all || channels == ChannelSelector::Green ? curve : same,
            all || channels == ChannelSelector::Blue ? curve : same};
}

void Logaritmize(Bitmap& picture, const TRect& selection, ChannelSelector channels, const ProgressCallback& progress) {
    const ChannelTables tables = LogaritmizeTables(channels);
    RunCancellable(picture, progress, VisibleRows(picture, selection),
                   [&](Bitmap& target, ProgressMeter* meter) { ApplyChannelTables(target, selection, tables, meter); });
}
