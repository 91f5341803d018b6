#include "filters/PointFilters.h"

#include "filters/FilterFrame.h"

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
