#include "PointFilters.h"

#include <algorithm>

#include "FilterFrame.h"

namespace {
ChannelTable OffsetTable(std::int32_t amount) {
    // Any amount beyond +-255 clamps like +-256 does; this keeps v + amount inside 32 bits.
    const std::int32_t bounded = std::clamp(amount, -256, 256);
    ChannelTable table;
    for (int v = 0; v < 256; ++v) table[v] = ClampByte(v + bounded);
    return table;
}

ChannelTable InvertTable(bool chosen) {
    ChannelTable table = IdentityTable();
    if (chosen)
        for (int v = 0; v < 256; ++v) table[v] = std::uint8_t(255 - v);
    return table;
}
}  // namespace

void AdjustChannels(Bitmap& picture, const TRect& selection, std::int32_t dR, std::int32_t dG,
                    std::int32_t dB) {
    ApplyChannelTables(picture, selection, {OffsetTable(dR), OffsetTable(dG), OffsetTable(dB)});
}

void BlackAndWhite(Bitmap& picture, const TRect& selection) {
    ApplyPointRule(picture, selection, [](std::uint8_t* p) {
        const std::uint8_t v = PixelGray(p) > 127 ? 255 : 0;
        p[0] = p[1] = p[2] = v;
    });
}

void Grayscale(Bitmap& picture, const TRect& selection) {
    ApplyPointRule(picture, selection, [](std::uint8_t* p) { p[0] = p[1] = p[2] = PixelGray(p); });
}

void Invert(Bitmap& picture, const TRect& selection, ChannelSelector channels) {
    const bool all = channels == ChannelSelector::All;
    ApplyChannelTables(picture, selection,
                       {InvertTable(all || channels == ChannelSelector::Red),
                        InvertTable(all || channels == ChannelSelector::Green),
                        InvertTable(all || channels == ChannelSelector::Blue)});
}

void SwapChannels(Bitmap& picture, const TRect& selection) {
    ApplyPointRule(picture, selection, [](std::uint8_t* p) {
        const std::uint8_t blue = p[0], green = p[1], red = p[2];
        p[2] = blue;
        p[1] = red;
        p[0] = green;
    });
}
