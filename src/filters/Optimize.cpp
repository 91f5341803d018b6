#include "filters/ToneFilters.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "filters/ChannelRanges.h"
#include "filters/FilterFrame.h"

// The curve is computed in extended precision with its factors stored as doubles, then
// tabulated: 256 evaluations per call instead of three per pixel.

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
