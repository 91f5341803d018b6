#include "filters/ToneFilters.h"

#include <cmath>
#include <cstdint>

#include "filters/FilterFrame.h"

// The curve is computed in extended precision, then tabulated: 256 evaluations per call
// instead of three per pixel.

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
