#include "Region.h"

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
