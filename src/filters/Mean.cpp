#include "filters/Mean.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "filters/Bands.h"
#include "filters/FilterFrame.h"
#include "filters/Parallel.h"
#include "filters/PlainRules.h"

namespace {

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

// ---- The plain rule ---------------------------------------------------------------------------

// How often the window of `at` lands on `source` along an axis of `size` samples: once inside,
// and at either end once for every sample of the window past it.
std::int64_t Hits(int at, int source, int size, int n) {
    if (source == 0 && size == 1) return 2 * std::int64_t(n) + 1;
    if (source == 0) return std::max<std::int64_t>(0, std::int64_t(n) - at + 1);
    if (source == size - 1) return std::max<std::int64_t>(0, std::int64_t(n) - (size - 1 - at) + 1);
    return 1;
}

// Every window added up again on the region copy, row by row: the window's column sums for
// the row, then the sum of those along it, which is the sum over the square.
void PlainMean(Bitmap& region, int n, ProgressMeter* meter) {
    const Bitmap before = region;
    const int width = region.Width(), height = region.Height();
    const std::int64_t area = (2 * std::int64_t(n) + 1) * (2 * std::int64_t(n) + 1);
    std::vector<std::int64_t> columns(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        std::fill(columns.begin(), columns.end(), 0);
        for (int sy = std::max(y - n, 0); sy <= std::min(y + n, height - 1); ++sy) {
            const std::int64_t hits = Hits(y, sy, height, n);
            for (std::size_t i = 0; i < columns.size(); ++i) columns[i] += hits * before.Row(sy)[i];
        }
        for (int x = 0; x < width; ++x) {
            std::int64_t sum[3] = {0, 0, 0};
            for (int sx = std::max(x - n, 0); sx <= std::min(x + n, width - 1); ++sx)
                for (int c = 0; c < 3; ++c)
                    sum[c] += Hits(x, sx, width, n) * columns[std::size_t(sx) * 3 + std::size_t(c)];
            for (int c = 0; c < 3; ++c) region.Pixel(x, y)[c] = std::uint8_t(sum[c] / area);
        }
        PlainRowDone(meter);
    }
}

}  // namespace

void Mean(Bitmap& picture, const TRect& selection, std::int32_t n, const ProgressCallback& progress) {
    if (n > MeanMaxRadius) throw std::invalid_argument("Mean radius out of range");
    RunCancellable(picture, progress, selection.Height(), [&](Bitmap& target, ProgressMeter* meter) {
        if (PlainRulesChosen())
            return FilterFrame(target, selection, [&](Bitmap& region) { PlainMean(region, n, meter); });
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
