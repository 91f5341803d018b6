#include "filters/Sharpness.h"

#include <cstdint>
#include <vector>

#include "filters/Bands.h"
#include "filters/FilterFrame.h"
#include "filters/Parallel.h"

namespace {
// (sum of the eight neighbours) div 8 for columns 1..width - 2 of a row, given the grey rows
// above, at and below it. A plain loop over bytes, which the compiler vectorises.
void NeighbourMeans(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, int width,
                    std::uint8_t* means) {
    for (int x = 1; x < width - 1; ++x)
        means[x] = std::uint8_t(
            (up[x - 1] + up[x] + up[x + 1] + mid[x - 1] + mid[x + 1] + down[x - 1] + down[x] + down[x + 1]) / 8);
}

// One row's channels side by side (red, green, blue), so that the grey and the per-pixel chain
// below run as plain loops over columns, which the compiler vectorises; on the interleaved
// pixels they would go one pixel at a time.
struct ChannelRows {
    explicit ChannelRows(int width) : Red(std::size_t(width)), Green(std::size_t(width)), Blue(std::size_t(width)) {}
    std::vector<std::uint8_t> Red, Green, Blue;
    // Local pointers: a byte store could alias the vectors' own pointers, which would make the
    // compiler reload them for every byte.
    void Split(const std::uint8_t* row, int width) {
        std::uint8_t *red = Red.data(), *green = Green.data(), *blue = Blue.data();
        for (int x = 0; x < width; ++x, row += 3) blue[x] = row[0], green[x] = row[1], red[x] = row[2];
    }
    void Join(std::uint8_t* row, int from, int to) const {
        const std::uint8_t *red = Red.data(), *green = Green.data(), *blue = Blue.data();
        row += 3 * from;
        for (int x = from; x < to; ++x, row += 3) row[0] = blue[x], row[1] = green[x], row[2] = red[x];
    }
    // PixelGray of every column.
    void Gray(int width, std::uint8_t* gray) const {
        const std::uint8_t *red = Red.data(), *green = Green.data(), *blue = Blue.data();
        for (int x = 0; x < width; ++x) gray[x] = std::uint8_t(unsigned(blue[x] + green[x] + red[x]) / 3u);
    }
};

// Each channel in turn, red, green, blue, moves by its rule from d = (grey of the pixel as it
// is at that moment, with the channels before it already rewritten) - the neighbours' mean.
template <class Rule>
void SharpenRow(ChannelRows& pixels, const std::uint8_t* means, int from, int to, Rule rule) {
    std::uint8_t *red = pixels.Red.data(), *green = pixels.Green.data(), *blue = pixels.Blue.data();
    for (int x = from; x < to; ++x) {
        const int m = means[x];
        const int r = red[x], g = green[x], b = blue[x];
        const int newR = rule(int(unsigned(r + g + b) / 3u) - m, r);
        const int newG = rule(int(unsigned(newR + g + b) / 3u) - m, g);
        const int newB = rule(int(unsigned(newR + newG + b) / 3u) - m, b);
        red[x] = std::uint8_t(newR), green[x] = std::uint8_t(newG), blue[x] = std::uint8_t(newB);
    }
}

// The interior rows of one band.
void SharpenBand(const PixelRows& rows, const BandSource& source, SharpnessStep step) {
    const int width = rows.Width;
    // Rows y - 1, y and y + 1 as they were before the pass: each row is split into its
    // channels, and its grey taken, before it is rewritten, so three rows are all that is kept.
    std::vector<std::uint8_t> grayRing(3 * static_cast<std::size_t>(width));
    std::vector<std::uint8_t> means(static_cast<std::size_t>(width));
    std::vector<ChannelRows> pixelRing(3, ChannelRows(width));
    auto gray = [&](int y) { return grayRing.data() + std::size_t(y % 3) * std::size_t(width); };
    auto take = [&](int y) {
        ChannelRows& pixels = pixelRing[std::size_t(y % 3)];
        pixels.Split(source.Row(y), width);
        pixels.Gray(width, gray(y));
    };
    take(source.First() - 1);
    take(source.First());
    // New v = Trunc(d * k + old v) with k = 2 or -0.5. Both products are exact, so in
    // integers: v + 2d, and (2v - d) / 2 truncated toward zero, which is what an
    // arithmetic shift gives wherever the result is not negative (and there both clamp to 0).
    auto sharpen = [](int d, int v) { return ClampByte(v + 2 * d); };
    auto soften = [](int d, int v) { return ClampByte((2 * v - d) >> 1); };
    for (int y = source.First(); y < source.End(); ++y) {
        take(y + 1);
        NeighbourMeans(gray(y - 1), gray(y), gray(y + 1), width, means.data());
        ChannelRows& pixels = pixelRing[std::size_t(y % 3)];
        if (step == SharpnessStep::Increase)
            SharpenRow(pixels, means.data(), 1, width - 1, sharpen);
        else
            SharpenRow(pixels, means.data(), 1, width - 1, soften);
        pixels.Join(rows.Row(y), 1, width - 1);
    }
}
}  // namespace

void Sharpness(Bitmap& picture, const TRect& selection, SharpnessStep step, const ProgressCallback& progress) {
    RunCancellable(picture, progress, std::max<std::int64_t>(selection.Height() - 2, 0),
                   [&](Bitmap& target, ProgressMeter* meter) {
                       FilterInPlace(target, selection, [step, meter](const PixelRows& rows) {
                           if (rows.Width < 3 || rows.Height < 3) return;
                           InBands(rows, 1, rows.Height - 1, 1, BandRowsFor(rows.Height - 2, rows.Width, 1), meter,
                                   [&](const BandSource& source) { SharpenBand(rows, source, step); });
                       });
                   });
}
