#include "image/Region.h"

#include <algorithm>
#include <cstring>

namespace {
// The columns [from, to) of a row of `length` pixels placed at `offset` that land inside
// a picture of `width`; empty when nothing overlaps.
struct Span {
    std::int64_t from, to;
};
Span Overlap(std::int64_t offset, std::int64_t length, std::int64_t width) {
    return {std::max<std::int64_t>(0, -offset), std::min(length, width - offset)};
}
}  // namespace

Bitmap CopyRegion(const Bitmap& source, const TRect& area) {
    // Checked while the size is still 64-bit: a rectangle spanning the whole int range is
    // 2^32 wide, which as an int would be an empty picture.
    if (area.Width() >= 0 && area.Height() >= 0) CheckPictureSize(area.Width(), area.Height());
    Bitmap region(int(area.Width()), int(area.Height()));
    const Span cols = Overlap(area.Left, region.Width(), source.Width());
    if (cols.from >= cols.to) return region;
    for (int y = 0; y < region.Height(); ++y) {
        const std::int64_t sy = std::int64_t(area.Top) + y;
        if (sy < 0 || sy >= source.Height()) continue;
        std::memcpy(region.Pixel(int(cols.from), y), source.Pixel(int(area.Left + cols.from), int(sy)),
                    std::size_t(cols.to - cols.from) * 3);
    }
    return region;
}

void DrawRegion(Bitmap& target, const Bitmap& region, int left, int top) {
    const Span cols = Overlap(left, region.Width(), target.Width());
    if (cols.from >= cols.to) return;
    for (int y = 0; y < region.Height(); ++y) {
        const std::int64_t ty = std::int64_t(top) + y;
        if (ty < 0 || ty >= target.Height()) continue;
        std::memcpy(target.Pixel(int(left + cols.from), int(ty)), region.Pixel(int(cols.from), y),
                    std::size_t(cols.to - cols.from) * 3);
    }
}

namespace {
// The part of a step `d` that keeps [low, high] within [0, last], or no closer to it.
int StepWithin(int d, int low, int high, int last) {
    return d > 0 ? std::min(d, std::max(0, last - high)) : std::max(d, std::min(0, -low));
}

// A right or bottom edge moved by `d`: not past the picture, not onto or before `low`.
int EdgeWithin(int edge, int d, int low, int last) { return std::max(low + 1, std::min(edge + d, std::max(edge, last))); }
}  // namespace

TRect SelectionByKey(const Bitmap& picture, TRect selection, int dx, int dy, bool resize) {
    const int lastX = picture.Width() - 1, lastY = picture.Height() - 1;
    if (resize) {
        selection.Right = EdgeWithin(selection.Right, dx, selection.Left, lastX);
        selection.Bottom = EdgeWithin(selection.Bottom, dy, selection.Top, lastY);
        return selection;
    }
    dx = StepWithin(dx, selection.Left, selection.Right, lastX);
    dy = StepWithin(dy, selection.Top, selection.Bottom, lastY);
    return {selection.Left + dx, selection.Top + dy, selection.Right + dx, selection.Bottom + dy};
}
