#include "filters/FilterFrame.h"

#include <algorithm>

TRect VisiblePart(const Bitmap& picture, const TRect& selection) {
    TRect part;
    part.Left = std::max(selection.Left, 0);
    part.Top = std::max(selection.Top, 0);
    part.Right = std::min(selection.Right, picture.Width() - 1);
    part.Bottom = std::min(selection.Bottom, picture.Height() - 1);
    // An empty part keeps Width() and Height() at 0, never negative.
    if (part.Right < part.Left) part.Right = part.Left - 1;
    if (part.Bottom < part.Top) part.Bottom = part.Top - 1;
    return part;
}

ChannelTable IdentityTable() {
    ChannelTable table;
    for (int v = 0; v < 256; ++v) table[v] = std::uint8_t(v);
    return table;
}

ChannelTables ComposeTables(const ChannelTables& first, const ChannelTables& then) {
    ChannelTables both;
    for (int v = 0; v < 256; ++v) {
        both.Red[v] = then.Red[first.Red[v]];
        both.Green[v] = then.Green[first.Green[v]];
        both.Blue[v] = then.Blue[first.Blue[v]];
    }
    return both;
}

void ApplyChannelTables(Bitmap& picture, const TRect& selection, const ChannelTables& tables, ProgressMeter* meter) {
    const std::uint8_t* const blue = tables.Blue.data();
    const std::uint8_t* const green = tables.Green.data();
    const std::uint8_t* const red = tables.Red.data();
    ApplyPointRule(
        picture, selection,
        [=](std::uint8_t* p) {
            p[0] = blue[p[0]];
            p[1] = green[p[1]];
            p[2] = red[p[2]];
        },
        meter);
}

BlockPattern ChannelPattern(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    const std::uint8_t channel[3] = {blue, green, red};
    BlockPattern pattern;
    for (int j = 0; j < 48; ++j) pattern.Part[j / 16][j % 16] = channel[j % 3];
    return pattern;
}
