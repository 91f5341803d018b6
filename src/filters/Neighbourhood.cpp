

#include "Neighbourhood.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

#include "FilterFrame.h"
#include "Noise.h"
#include "Parallel.h"
#include "ToneFilters.h"

namespace {

// ---- Bands ----------------------------------------------------------------------------------
//
// The neighbourhood filters write each row in place once its neighbours are read. In bands of
// rows running side by side, a band reads up to `reach` rows around it, which the bands next to
// it rewrite: those rows are copied before any band starts, and the band reads the copies.

// The rows as they were before the pass, for the band [First, End).
class BandSource {
public:
    BandSource(const PixelRows& rows, int first, int end, int reach)
        : rows_(rows), first_(first), end_(end), aboveFrom_(std::max(first - reach, 0)),
          belowTo_(std::min(end + reach, rows.Height)), rowBytes_(std::size_t(rows.Width) * 3) {}

    int First() const { return first_; }
    int End() const { return end_; }

    // The bytes the copies take, and the copying, into `copies`.
    std::size_t CopyBytes() const { return std::size_t(first_ - aboveFrom_ + belowTo_ - end_) * rowBytes_; }
    void CopyInto(std::uint8_t* copies) {
        copies_ = copies;
        for (int y = aboveFrom_; y < belowTo_; ++y) {
            if (y == first_) y = end_;
            if (y >= belowTo_) break;
            copies = std::copy_n(rows_.Row(y), rowBytes_, copies);
        }
    }

    // Row y as it was: the band's own rows from the picture, which the band reads before it
    // writes them, the copied ones around it, and any further row (which no band writes) from
    // the picture.
    const std::uint8_t* Row(int y) const {
        if (y < first_ && y >= aboveFrom_) return copies_ + std::size_t(y - aboveFrom_) * rowBytes_;
        if (y >= end_ && y < belowTo_) return copies_ + std::size_t(first_ - aboveFrom_ + y - end_) * rowBytes_;
        return rows_.Row(y);
    }

private:
    PixelRows rows_;
    int first_, end_, aboveFrom_, belowTo_;
    std::size_t rowBytes_;
    const std::uint8_t* copies_ = nullptr;
};

// Runs pass(const BandSource&) over bands of the rows [from, to) of `rows`, `bandRows` rows each,
// in parallel. On one thread without a meter the whole range is one band, which needs no copies.
// The copies of all bands share one block, which is not cleared first (a block per band would
// come as fresh pages, each faulted in on first touch), and are made in parallel too.
template <class Pass>
void InBands(const PixelRows& rows, int from, int to, int reach, std::int64_t bandRows, ProgressMeter* meter,
             Pass pass) {
    if (to <= from) return;
    if (WorkerThreads() == 1 && !meter) bandRows = to - from;
    std::vector<BandSource> sources;
    std::vector<std::size_t> copiesAt{0};
    for (std::int64_t first = from; first < to; first += bandRows) {
        sources.emplace_back(rows, int(first), int(std::min<std::int64_t>(first + bandRows, to)), reach);
        copiesAt.push_back(copiesAt.back() + sources.back().CopyBytes());
    }
    const auto copies = std::make_unique_for_overwrite<std::uint8_t[]>(copiesAt.back());
    ParallelBands(std::int64_t(sources.size()), 1, [&](std::int64_t k, std::int64_t) {
        sources[std::size_t(k)].CopyInto(copies.get() + copiesAt[std::size_t(k)]);
    });
    ParallelBands(
        to - from, bandRows, [&](std::int64_t first, std::int64_t) { pass(sources[std::size_t(first / bandRows)]); },
        meter);
}

// ---- Mean ---------------------------------------------------------------------------------
//
// The window is separable: the sum over the clamped square is the sum, along the row, of the
// column sums over the clamped rows. The column sums run down the band (add the row entering
// the window, take away the one leaving it) on the pixels' own bytes, so their cost does not
// grow with n and only rows of bytes are kept, not rows of sums; then each row's window sums
// are taken along its column sums and divided. The integer result is the same as re-adding the
// whole window for every pixel.
//
// The sums are as narrow as the window allows, since the loops over them are vectorised and
// narrower lanes do more at once: a column of up to 257 samples fits 16 bits, and up to
// SmallRadius a whole window does too (15 x 15 x 255 = 57375), which is the usual radius (3 x 3
// and 11 x 11) and gets its window sums added up from their 2n + 1 columns. Wider windows take
// 32 bits and a running sum along the row. The radius is limited to what 32 bits hold.

constexpr int SmallRadius = 7;
constexpr int NarrowColumnRadius = 128;  // (2 x 128 + 1) x 255 = 65535

// The sum of in[3 * clamp(x + k) + c] for k in -n .. n, added sample by sample.
template <class Sum, class In>
Sum ClampedRowSum(const In* in, int width, int n, int x, int c) {
    Sum s = 0;
    for (int k = -n; k <= n; ++k) s = Sum(s + in[3 * std::clamp(x + k, 0, width - 1) + c]);
    return s;
}

// out[3x + c] = sum of in[3 * clamp(i) + c] for i in x - n .. x + n, for a small n. Columns
// whose window stays inside the row are added one offset at a time, over a piece of the row
// small enough to stay in the first-level cache while its 2n + 1 offsets are added.
void DirectRowSums(const std::uint16_t* in, int width, int n, std::uint16_t* out) {
    constexpr std::ptrdiff_t Piece = 2048;
    const int firstInner = std::min(n, width), lastInner = std::max(width - n, firstInner);  // [first, last)
    const std::ptrdiff_t from = std::ptrdiff_t(firstInner) * 3, to = std::ptrdiff_t(lastInner) * 3;
    for (std::ptrdiff_t start = from; start < to; start += Piece) {
        const std::ptrdiff_t end = std::min(start + Piece, to);
        // The first offset, then the 2n others two at a time, which halves the passes over out.
        for (std::ptrdiff_t i = start; i < end; ++i) out[i] = in[i - 3 * n];
        for (std::ptrdiff_t offset = 3 - 3 * n; offset < 3 * n; offset += 6)
            for (std::ptrdiff_t i = start; i < end; ++i)
                out[i] = std::uint16_t(out[i] + in[i + offset] + in[i + offset + 3]);
    }
    auto edge = [&](int x) {
        for (int c = 0; c < 3; ++c) out[3 * x + c] = ClampedRowSum<std::uint16_t>(in, width, n, x, c);
    };
    for (int x = 0; x < firstInner; ++x) edge(x);
    for (int x = lastInner; x < width; ++x) edge(x);
}

// Division of window sums by the window's area, truncating, by a multiply and a shift.
class AreaDivision {
public:
    explicit AreaDivision(std::int64_t area) {
        const std::int64_t largest = area * 255;
        if (largest <= 0xFFFF) {
            // For 16-bit sums, a multiplier of at most 2^16, so that the product fits 32 bits: the
            // first pair that gives the quotient of every reachable sum, checked against them all.
            for (int shift = 16; shift < 32 && multiplier_ == 0; ++shift) {
                const std::uint64_t m = ((std::uint64_t(1) << shift) + std::uint64_t(area) - 1) / std::uint64_t(area);
                if (m > 0x10000) break;
                bool exact = true;
                for (std::int64_t v = 0; v <= largest && exact; ++v)
                    exact = ((std::uint64_t(v) * m) >> shift) == std::uint64_t(v / area);
                if (exact) multiplier_ = std::uint32_t(m), shift_ = shift;
            }
        } else {
            // For 32-bit sums, m = ceil(2^k / area) with 2^k >= largest * area. Then m * area =
            // 2^k + e with e < area, and for every sum s <= largest, s * m / 2^k = s / area +
            // s * e / (area * 2^k) exceeds s / area by less than 1 / area, which cannot reach the
            // next whole number. As 2^k < 2 * largest * area, m <= 510 * area, which is below
            // 2^32 up to the largest window, but only just: 4,281,089,468 at the radius limit
            // 1450 (tested there), so that limit cannot grow without a wider multiplier.
            while ((std::uint64_t(1) << shift_) < std::uint64_t(largest) * std::uint64_t(area)) ++shift_;
            multiplier_ = std::uint32_t(((std::uint64_t(1) << shift_) + std::uint64_t(area) - 1) / std::uint64_t(area));
        }
    }

    void Divide(const std::uint16_t* sums, std::size_t count, std::uint8_t* out) const {
        const std::uint32_t m = multiplier_;
        const int shift = shift_;
        for (std::size_t i = 0; i < count; ++i) out[i] = std::uint8_t((std::uint32_t(sums[i]) * m) >> shift);
    }
    std::uint8_t Of(std::int32_t sum) const {
        return std::uint8_t((std::uint64_t(std::uint32_t(sum)) * multiplier_) >> shift_);
    }

private:
    std::uint32_t multiplier_ = 0;
    int shift_ = 0;
};

// The window sums along a row of column sums with a running sum, for any n, each divided as it
// comes: a row of 32-bit sums would be one more buffer in the cache for nothing.
template <class In>
void RunningRowMeans(const In* in, int width, int n, const AreaDivision& division, std::uint8_t* out) {
    const int last = width - 1;
    std::int32_t sum[3];
    for (int c = 0; c < 3; ++c) {
        std::int32_t s = n * std::int32_t(in[c]);  // the n samples left of column 0
        for (int i = 0; i <= std::min(n, last); ++i) s += in[3 * i + c];
        s += std::max(0, n - last) * std::int32_t(in[3 * last + c]);  // samples past the right edge
        sum[c] = s;
        out[c] = division.Of(s);
    }
    for (int x = 1; x < width; ++x) {
        const In* entering = in + 3 * std::min(x + n, last);
        const In* leaving = in + 3 * std::max(x - 1 - n, 0);
        for (int c = 0; c < 3; ++c) {
            sum[c] += std::int32_t(entering[c]) - std::int32_t(leaving[c]);
            out[3 * x + c] = division.Of(sum[c]);
        }
    }
}

// A thread's buffers for Mean's bands, kept from one band to the next for the same reason.
template <class ColumnSum>
struct MeanBuffers {
    std::vector<ColumnSum> Columns;
    std::vector<std::uint8_t> Kept;
    std::vector<std::uint16_t> Sums;
};

// Rewrites the band's rows with their box means; the column sums are 16 or 32 bits, the window
// sums 16 bits (Narrow, n <= SmallRadius) or 32.
template <class ColumnSum, bool Narrow>
void BoxMean(const PixelRows& rows, const BandSource& source, int n, MeanBuffers<ColumnSum>& buffers) {
    const int last = rows.Height - 1;
    const std::size_t rowValues = std::size_t(rows.Width) * 3;
    const int first = source.First(), end = source.End();

    // The column sums of the band's first row: copies of row 0 for any part of the window above
    // the picture, the rows it covers, and copies of the last row for any part below. 16-bit
    // sums may wrap on the way; the arithmetic is modulo 2^16 and the true total fits, so the
    // total comes out right.
    buffers.Columns.assign(rowValues, 0);
    ColumnSum* const columns = buffers.Columns.data();
    auto addRow = [&](const std::uint8_t* row, int times) {
        if (times == 0) return;
        for (std::size_t i = 0; i < rowValues; ++i) columns[i] = ColumnSum(columns[i] + ColumnSum(times) * row[i]);
    };
    addRow(source.Row(0), std::max(n - first, 0));
    for (int j = std::max(first - n, 0); j <= std::min(first + n, last); ++j) addRow(source.Row(j), 1);
    addRow(source.Row(last), std::max(first + n - last, 0));

    // A row of the band is rewritten before it leaves the window n + 1 rows further down, so the
    // last n + 1 of them are kept as they were.
    const int slots = std::min(n + 1, end - first);
    buffers.Kept.resize(std::size_t(slots) * rowValues);
    std::uint8_t* const kept = buffers.Kept.data();
    auto keptRow = [&](int y) { return kept + std::size_t((y - first) % slots) * rowValues; };

    const AreaDivision division((2 * std::int64_t(n) + 1) * (2 * std::int64_t(n) + 1));
    buffers.Sums.resize(Narrow ? rowValues : 0);
    std::uint16_t* const sums = buffers.Sums.data();
    for (int y = first;; ++y) {
        std::uint8_t* out = rows.Row(y);
        std::copy_n(out, rowValues, keptRow(y));
        if constexpr (Narrow) {
            DirectRowSums(columns, rows.Width, n, sums);
            division.Divide(sums, rowValues, out);
        } else {
            RunningRowMeans(columns, rows.Width, n, division, out);
        }
        if (y == end - 1) break;
        // Slide down one row. The entering row lies below y, so it is not rewritten yet.
        const int leavingY = std::max(y - n, 0);
        const std::uint8_t* leaving = leavingY >= first ? keptRow(leavingY) : source.Row(leavingY);
        const std::uint8_t* entering = source.Row(std::min(y + 1 + n, last));
        for (std::size_t i = 0; i < rowValues; ++i) columns[i] = ColumnSum(columns[i] + entering[i] - leaving[i]);
    }
}

template <class ColumnSum, bool Narrow>
void MeanInBands(const PixelRows& rows, int n, ProgressMeter* meter) {
    PerThread<MeanBuffers<ColumnSum>> buffers;
    // Each band copies and adds up the n rows on either side of it again.
    InBands(rows, 0, rows.Height, n, BandRowsFor(rows.Height, rows.Width, n), meter,
            [&](const BandSource& source) { BoxMean<ColumnSum, Narrow>(rows, source, n, buffers.local()); });
}

}  // namespace

void Mean(Bitmap& picture, const TRect& selection, std::int32_t n, const ProgressCallback& progress) {
    if (n > MeanMaxRadius) throw std::invalid_argument("Mean radius out of range");
    RunCancellable(picture, progress, selection.Height(), [&](Bitmap& target, ProgressMeter* meter) {
        FilterInPlace(target, selection, [n, meter](const PixelRows& rows) {
            if (n < 0) {  // an empty window: every sum is 0
                for (int y = 0; y < rows.Height; ++y)
                    std::fill_n(rows.Row(y), std::size_t(rows.Width) * 3, std::uint8_t(0));
                if (meter) meter->Advance(rows.Height);
                return;
            }
            if (n <= SmallRadius)
                MeanInBands<std::uint16_t, true>(rows, n, meter);
            else if (n <= NarrowColumnRadius)
                MeanInBands<std::uint16_t, false>(rows, n, meter);
            else
                MeanInBands<std::int32_t, false>(rows, n, meter);
        });
    });
}

// ---- AddNoise ------------------------------------------------------------------------------

namespace {
// One generator's draws split into three interleaved streams, one per channel: draws
// 3k + 1, 3k + 2 and 3k + 3 serve pixel k's red, green and blue. Each stream steps three
// states at once, so the three multiplications of a pixel do not wait on each other.
class NoiseStreams {
public:
    explicit NoiseStreams(std::uint32_t seed) {
        NoiseGenerator generator(seed);
        for (std::uint32_t& state : states_) {
            generator.Below(0);
            state = generator.State();
        }
    }
    // The draws of the next pixel, red, green, blue.
    void Draw(std::uint32_t range, std::uint32_t (&draws)[3]) {
        for (int c = 0; c < 3; ++c) {
            draws[c] = static_cast<std::uint32_t>((std::uint64_t(states_[c]) * range) >> 32);
            states_[c] = states_[c] * Step3.Multiplier + Step3.Increment;
        }
    }
    // Passes over the draws of `pixels` pixels.
    void Skip(std::uint64_t pixels) {
        const Affine jump = Step3.Power(pixels);
        for (std::uint32_t& state : states_) state = state * jump.Multiplier + jump.Increment;
    }

private:
    // The state step s -> m * s + i (mod 2^32), composed with itself by squaring.
    struct Affine {
        std::uint32_t Multiplier, Increment;
        Affine Then(const Affine& next) const {
            return {next.Multiplier * Multiplier, next.Multiplier * Increment + next.Increment};
        }
        Affine Power(std::uint64_t times) const {
            Affine result{1, 0}, square = *this;
            for (; times != 0; times >>= 1, square = square.Then(square))
                if (times & 1) result = result.Then(square);
            return result;
        }
    };
    static constexpr Affine Step1{NoiseGenerator::Multiplier, 1};
    static constexpr Affine Step3{Step1.Multiplier * Step1.Multiplier * Step1.Multiplier,
                                  Step1.Multiplier* Step1.Multiplier + Step1.Multiplier + 1};
    std::uint32_t states_[3];
};

// v + 2r - a, clamped; in 64 bits so that no amplitude can overflow it.
std::uint8_t Moved(std::uint8_t v, std::uint32_t r, std::int32_t a) {
    const std::int64_t x = v + 2 * std::int64_t(r) - a;
    return x < 0 ? std::uint8_t(0) : x > 255 ? std::uint8_t(255) : std::uint8_t(x);
}
}  // namespace

void AddNoise(Bitmap& picture, const TRect& selection, std::int32_t a, std::uint32_t seed,
              const ProgressCallback& progress) {
    // In place on the visible part; pixels of the selection outside the picture still use
    // their draws, so every pixel gets the numbers the whole region's pass gives it.
    const TRect part = VisiblePart(picture, selection);
    if (part.Width() == 0 || part.Height() == 0) return;
    RunCancellable(picture, progress, part.Height(), [&](Bitmap& target, ProgressMeter* meter) {
        NoiseStreams noise(seed);
        const std::uint32_t range = static_cast<std::uint32_t>(a);
        noise.Skip(std::uint64_t(part.Top - std::int64_t(selection.Top)) * std::uint64_t(selection.Width()));
        const std::uint64_t before = std::uint64_t(part.Left - std::int64_t(selection.Left));
        const std::uint64_t after = std::uint64_t(std::int64_t(selection.Right) - part.Right);
        for (int y = part.Top; y <= part.Bottom; ++y) {
            // One sequence of draws, so one thread; the meter hears of every band of rows.
            if (meter && (y - part.Top) % BandRows == 0) {
                if (y > part.Top) meter->Advance(BandRows);
                meter->Check();
            }
            noise.Skip(before);
            std::uint8_t* p = target.Pixel(part.Left, y);
            for (std::int64_t x = 0; x < part.Width(); ++x, p += 3) {
                std::uint32_t r[3];
                noise.Draw(range, r);
                p[2] = Moved(p[2], r[0], a);
                p[1] = Moved(p[1], r[1], a);
                p[0] = Moved(p[0], r[2], a);
            }
            noise.Skip(after);
        }
        if (meter) meter->Advance(part.Height());  // the rest; the meter stops at its total
    });
}

// ---- Sharpness and FindEdges ----------------------------------------------------------------

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
}  // namespace

namespace {
void SharpenBand(const PixelRows& rows, const BandSource& source, SharpnessStep step);
}

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

namespace {
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
}  // namespace

namespace {
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
