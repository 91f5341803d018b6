#include "filters/PointFilters.h"

#include <algorithm>

#include "filters/FilterFrame.h"

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
