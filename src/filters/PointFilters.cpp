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
    // Each channel goes up by its positive part and down by its negative part, both clamped;
    // an amount past 255 either way gives 255 or 0 like 255 itself does.
    auto up = [](std::int32_t amount) { return std::uint8_t(std::clamp(amount, 0, 255)); };
    auto down = [](std::int32_t amount) { return std::uint8_t(std::clamp(-std::int64_t(amount), std::int64_t(0), std::int64_t(255))); };
    const BlockPattern add = ChannelPattern(up(dB), up(dG), up(dR));
    const BlockPattern subtract = ChannelPattern(down(dB), down(dG), down(dR));
    ApplyVectorRule(picture, selection, {OffsetTable(dR), OffsetTable(dG), OffsetTable(dB)},
                    [&](Bytes16 v, int part) {
                        return SubtractClamped(AddClamped(v, add.Part[part]), subtract.Part[part]);
                    });
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
    const bool red = all || channels == ChannelSelector::Red, green = all || channels == ChannelSelector::Green,
               blue = all || channels == ChannelSelector::Blue;
    // 255 - v is v with every bit flipped.
    const BlockPattern flip = ChannelPattern(blue ? 255 : 0, green ? 255 : 0, red ? 255 : 0);
    ApplyVectorRule(picture, selection, {InvertTable(red), InvertTable(green), InvertTable(blue)},
                    [&](Bytes16 v, int part) { return v ^ flip.Part[part]; });
}

void SwapChannels(Bitmap& picture, const TRect& selection) {
    ApplyPointRule(picture, selection, [](std::uint8_t* p) {
        const std::uint8_t blue = p[0], green = p[1], red = p[2];
        p[2] = blue;
        p[1] = red;
        p[0] = green;
    });
}
