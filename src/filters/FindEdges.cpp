#include "filters/FindEdges.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "filters/Bands.h"
#include "filters/FilterFrame.h"
#include "filters/Parallel.h"
#include "filters/ToneFilters.h"

namespace {
// Black outline along the picture's outermost rows and columns, except on pixels inside `keep`.
void DrawOutline(Bitmap& picture, const TRect& keep) {
    const int width = picture.Width(), height = picture.Height();
    if (width == 0 || height == 0) return;
    // Pixels from..to of row y, less those inside `keep`.
    auto blacken = [&](int y, int from, int to) {
        auto fill = [&](int a, int b) {
            if (a <= b) std::fill_n(picture.Pixel(a, y), std::size_t(b - a + 1) * 3, std::uint8_t(0));
        };
        if (y < keep.Top || y > keep.Bottom || keep.Right < keep.Left) return fill(from, to);
        fill(from, std::min(to, keep.Left - 1));
        fill(std::max(from, keep.Right + 1), to);
    };
    blacken(0, 0, width - 1);
    blacken(height - 1, 0, width - 1);
    for (int y = 0; y < height; ++y) {
        blacken(y, 0, 0);
        blacken(y, width - 1, width - 1);
    }
}

// Each interior pixel becomes the grey of its mean absolute difference to its neighbours. The
// greys are those from before the pass: each row's is taken before the row is rewritten.
void EdgeBand(const PixelRows& rows, const BandSource& source) {
    const int width = rows.Width;
    std::vector<std::uint8_t> grayRing(3 * static_cast<std::size_t>(width));
    std::vector<std::uint8_t> edges(static_cast<std::size_t>(width));
    auto gray = [&](int y) { return grayRing.data() + std::size_t(y % 3) * std::size_t(width); };
    auto take = [&](int y) {
        const std::uint8_t* p = source.Row(y);
        std::uint8_t* g = gray(y);
        for (int x = 0; x < width; ++x, p += 3) g[x] = PixelGray(p);
    };
    take(source.First() - 1);
    take(source.First());
    for (int y = source.First(); y < source.End(); ++y) {
        take(y + 1);
        const std::uint8_t *up = gray(y - 1), *mid = gray(y), *down = gray(y + 1);
        // The differences first, in a loop over bytes that the compiler vectorises.
        for (int x = 1; x < width - 1; ++x) {
            const int c = mid[x];
            const int sum = std::abs(up[x - 1] - c) + std::abs(up[x] - c) + std::abs(up[x + 1] - c) +
                            std::abs(mid[x - 1] - c) + std::abs(mid[x + 1] - c) + std::abs(down[x - 1] - c) +
                            std::abs(down[x] - c) + std::abs(down[x + 1] - c);
            edges[std::size_t(x)] = std::uint8_t(sum / 8);
        }
        std::uint8_t* p = rows.Row(y) + 3;
        for (int x = 1; x < width - 1; ++x, p += 3) p[0] = p[1] = p[2] = edges[std::size_t(x)];
    }
}

void EdgePass(const PixelRows& rows, ProgressMeter* meter) {
    InBands(rows, 1, rows.Height - 1, 1, BandRowsFor(rows.Height - 2, rows.Width, 1), meter,
            [&](const BandSource& source) { EdgeBand(rows, source); });
}

// Spreads the interior block over the whole region: the outermost columns and rows repeat
// their inner neighbours, every interior pixel keeps its place.
void RepeatInteriorEdges(const PixelRows& rows) {
    const int width = rows.Width, height = rows.Height;
    const std::size_t rowBytes = std::size_t(width) * 3;
    for (int y = 1; y < height - 1; ++y) {
        std::copy_n(rows.Row(y) + 3, 3, rows.Row(y));
        std::copy_n(rows.Row(y) + 3 * (width - 2), 3, rows.Row(y) + 3 * (width - 1));
    }
    std::copy_n(rows.Row(1), rowBytes, rows.Row(0));
    std::copy_n(rows.Row(height - 2), rowBytes, rows.Row(height - 1));
}

void FindEdgesOn(Bitmap& picture, const TRect& selection, ProgressMeter* meter) {
    const bool hasInterior = selection.Width() >= 3 && selection.Height() >= 3;
    const TRect nothing{0, 0, -1, -1};
    if (SelectionInside(picture, selection)) {
        // In place: the copy-back would have covered the outline inside the selection, so it
        // is drawn only outside it.
        if (hasInterior) {
            EdgePass(SelectedRows(picture, selection), meter);
            RepeatInteriorEdges(SelectedRows(picture, selection));
        }
        DrawOutline(picture, hasInterior ? selection : nothing);
    } else {
        Bitmap region = CopyRegion(picture, selection);
        if (hasInterior) {
            EdgePass(RowsOf(region), meter);
            RepeatInteriorEdges(RowsOf(region));
        }
        // The outline goes on first, so the copy-back covers it where the selection meets the
        // picture's border.
        DrawOutline(picture, nothing);
        if (hasInterior) DrawRegion(picture, region, selection.Left, selection.Top);
    }
    // Optimize, then Logaritmize(All), as one pass of the two curves composed.
    ApplyChannelTables(picture, selection,
                       ComposeTables(OptimizeTables(picture, selection), LogaritmizeTables(ChannelSelector::All)),
                       meter);
}
}  // namespace

void FindEdges(Bitmap& picture, const TRect& selection, const ProgressCallback& progress) {
    // The edge pass's interior rows, then the tone pass's visible rows.
    const std::int64_t interior = selection.Width() >= 3 && selection.Height() >= 3 ? selection.Height() - 2 : 0;
    RunCancellable(picture, progress, interior + VisibleRows(picture, selection),
                   [&](Bitmap& target, ProgressMeter* meter) { FindEdgesOn(target, selection, meter); });
}
