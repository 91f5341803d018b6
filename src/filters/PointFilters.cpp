#include "filters/PointFilters.h"

#include <algorithm>

#include "filters/FilterFrame.h"

// Each runs through RunCancellable: with a progress callback it reports visible rows done and
// a cancel leaves the picture as it was.

void AdjustChannels(Bitmap& picture, const TRect& selection, std::int32_t dR, std::int32_t dG, std::int32_t dB,
                    const ProgressCallback& progress) {
    // Each channel goes up by its positive part and down by its negative part, both clamped;
    // an amount past 255 either way gives 255 or 0 like 255 itself does.
    auto up = [](std::int32_t amount) { return std::uint8_t(std::clamp(amount, 0, 255)); };
    auto down = [](std::int32_t amount) {
        return std::uint8_t(std::clamp(-std::int64_t(amount), std::int64_t(0), std::int64_t(255)));
    };
    const BlockPattern add = ChannelPattern(up(dB), up(dG), up(dR));
    const BlockPattern subtract = ChannelPattern(down(dB), down(dG), down(dR));
    RunCancellable(picture, progress, VisibleRows(picture, selection), [&](Bitmap& target, ProgressMeter* meter) {
        ApplyVectorRule(
            target, selection,
            [add, subtract](Bytes16 v, int part) {
                return SubtractClamped(AddClamped(v, add.Part[part]), subtract.Part[part]);
            },
            [dR, dG, dB](int channel, int v) {
                const std::int64_t amount = channel == 0 ? dB : channel == 1 ? dG : dR;
                return std::clamp<std::int64_t>(v + amount, 0, 255);
            },
            meter);
    });
}

void BlackAndWhite(Bitmap& picture, const TRect& selection, const ProgressCallback& progress) {
    RunCancellable(picture, progress, VisibleRows(picture, selection), [&](Bitmap& target, ProgressMeter* meter) {
        ApplyPointRule(
            target, selection,
            [](std::uint8_t* p) {
                const std::uint8_t v = PixelGray(p) > 127 ? 255 : 0;
                p[0] = p[1] = p[2] = v;
            },
            meter);
    });
}

void Grayscale(Bitmap& picture, const TRect& selection, const ProgressCallback& progress) {
    RunCancellable(picture, progress, VisibleRows(picture, selection), [&](Bitmap& target, ProgressMeter* meter) {
        ApplyPointRule(
            target, selection, [](std::uint8_t* p) { p[0] = p[1] = p[2] = PixelGray(p); }, meter);
    });
}

void Invert(Bitmap& picture, const TRect& selection, ChannelSelector channels, const ProgressCallback& progress) {
    const bool all = channels == ChannelSelector::All;
    const bool red = all || channels == ChannelSelector::Red, green = all || channels == ChannelSelector::Green,
               blue = all || channels == ChannelSelector::Blue;
    // 255 - v is v with every bit flipped.
    const BlockPattern flip = ChannelPattern(blue ? 255 : 0, green ? 255 : 0, red ? 255 : 0);
    RunCancellable(picture, progress, VisibleRows(picture, selection), [&](Bitmap& target, ProgressMeter* meter) {
        ApplyVectorRule(
            target, selection, [flip](Bytes16 v, int part) { return v ^ flip.Part[part]; },
            [blue, green, red](int channel, int v) {
                const bool chosen = channel == 0 ? blue : channel == 1 ? green : red;
                return chosen ? 255 - v : v;
            },
            meter);
    });
}

void SwapChannels(Bitmap& picture, const TRect& selection, const ProgressCallback& progress) {
    RunCancellable(picture, progress, VisibleRows(picture, selection), [&](Bitmap& target, ProgressMeter* meter) {
        ApplyPointRule(
            target, selection,
            [](std::uint8_t* p) {
                const std::uint8_t blue = p[0], green = p[1], red = p[2];
                p[2] = blue;
                p[1] = red;
                p[0] = green;
            },
            meter);
    });
}
