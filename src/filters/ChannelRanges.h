#pragma once
// The lowest and highest value of each channel over the selected pixels, for Optimize's stretch
// and the statistics report.
#include <array>

#include "image/Bitmap.h"
#include "image/Rect.h"

struct ChannelRange {
    int Min = 256, Max = -1;  // Max < 0: no value seen
    void Add(int v) {
        if (v < Min) Min = v;
        if (v > Max) Max = v;
    }
};

// Blue, green and red over the part of the selection inside the picture, in parallel bands.
std::array<ChannelRange, 3> VisibleChannelRanges(const Bitmap& picture, const TRect& selection);
