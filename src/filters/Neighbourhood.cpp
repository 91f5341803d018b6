#include "Neighbourhood.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "FilterFrame.h"
#include "Noise.h"
#include "ToneFilters.h"

namespace {

// ---- Mean ---------------------------------------------------------------------------------
//
// The window is separable: the sum over the clamped square is the sum over clamped rows of
// the row sums over clamped columns. Both directions use running sums (add the sample
// entering the window, take away the one leaving it), so the cost does not grow with n and
// the integer result is the same as re-adding the whole window for every pixel.

// out[3x + c] = sum of row[3 * clamp(i) + c] for i in x - n .. x + n.
void RowWindowSums(const std::uint8_t* row, int width, int n, std::int32_t* out) {
    const int last = width - 1;
    std::int32_t sum[3];
    for (int c = 0; c < 3; ++c) {
        std::int32_t s = n * row[c];  // the n samples left of column 0
        for (int i = 0; i <= std::min(n, last); ++i) s += row[3 * i + c];
        s += std::max(0, n - last) * row[3 * last + c];  // samples past the right edge
        sum[c] = s;
        out[c] = s;
    }
    for (int x = 1; x < width; ++x) {
        const std::uint8_t* in = row + 3 * std::min(x + n, last);
        const std::uint8_t* leaving = row + 3 * std::max(x - 1 - n, 0);
        for (int c = 0; c < 3; ++c) {
            sum[c] += in[c] - leaving[c];
            out[3 * x + c] = sum[c];
        }
    }
}

// Rewrites `picture` with its box means. Row y is written only after its own row sums were
// taken (the window reaches a row before the output does), and no row is summed twice, so
// the result can go into the picture it is read from.
template <class Sum>
void BoxMean(Bitmap& picture, int n) {
    const Bitmap& source = picture;
    const int width = source.Width(), height = source.Height(), last = height - 1;
    const std::size_t rowValues = std::size_t(width) * 3;

    // Row sums of the source rows the vertical window currently spans. That span never covers
    // more than min(2n + 2, height) consecutive rows, so a ring of that many slots holds it and
    // every row is summed once.
    const int slots = int(std::min<std::int64_t>(2 * std::int64_t(n) + 2, height));
    std::vector<std::int32_t> ring(std::size_t(slots) * rowValues);
    std::vector<int> slotRow(std::size_t(slots), -1);
    auto rowSums = [&](int sy) -> const std::int32_t* {
        std::int32_t* sums = ring.data() + std::size_t(sy % slots) * rowValues;
        if (slotRow[std::size_t(sy % slots)] != sy) {
            RowWindowSums(source.Row(sy), width, n, sums);
            slotRow[std::size_t(sy % slots)] = sy;
        }
        return sums;
    };

    // Integer division by (2n + 1)^2, tabulated while the largest sum stays small.
    const std::int64_t divisor = (2 * std::int64_t(n) + 1) * (2 * std::int64_t(n) + 1);
    const std::int64_t largest = divisor * 255;
    std::vector<std::uint8_t> quotient;
    if (largest < (std::int64_t(1) << 20)) {
        quotient.resize(std::size_t(largest) + 1);
        for (std::int64_t s = 0; s <= largest; ++s) quotient[std::size_t(s)] = std::uint8_t(s / divisor);
    }

    // The window of row 0: n copies of row 0 above it, rows 0..n, and copies of the last row
    // for any part of the window below the picture.
    std::vector<Sum> window(rowValues, 0);
    auto addRow = [&](const std::int32_t* sums, Sum times) {
        for (std::size_t i = 0; i < rowValues; ++i) window[i] += times * sums[i];
    };
    addRow(rowSums(0), Sum(n));
    for (int j = 0; j <= std::min(n, last); ++j) addRow(rowSums(j), 1);
    if (n > last) addRow(rowSums(last), Sum(n - last));

    for (int y = 0;; ++y) {
        std::uint8_t* out = picture.Row(y);
        if (!quotient.empty())
            for (std::size_t i = 0; i < rowValues; ++i) out[i] = quotient[std::size_t(window[i])];
        else
            for (std::size_t i = 0; i < rowValues; ++i) out[i] = std::uint8_t(window[i] / divisor);
        if (y == last) break;
        // Slide down one row: the leaving row first, so that summing the entering row cannot
        // reuse its slot before it is read.
        const std::int32_t* leaving = rowSums(std::max(y - n, 0));
        const std::int32_t* entering = rowSums(std::min(y + 1 + n, last));
        for (std::size_t i = 0; i < rowValues; ++i) window[i] += Sum(entering[i] - leaving[i]);
    }
}

}  // namespace

void Mean(Bitmap& picture, const TRect& selection, std::int32_t n) {
    if (n > MeanMaxRadius) throw std::invalid_argument("Mean radius out of range");
    FilterFrame(picture, selection, [n](Bitmap& region) {
        if (region.Empty()) return;
        if (n < 0) {  // an empty window: every sum is 0
            region.SetSize(region.Width(), region.Height());
            return;
        }
        const std::int64_t side = 2 * std::int64_t(n) + 1;
        if (side * side * 255 <= INT32_MAX)
            BoxMean<std::int32_t>(region, n);
        else
            BoxMean<std::int64_t>(region, n);
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
                                  Step1.Multiplier * Step1.Multiplier + Step1.Multiplier + 1};
    std::uint32_t states_[3];
};

// v + 2r - a, clamped; in 64 bits so that no amplitude can overflow it.
std::uint8_t Moved(std::uint8_t v, std::uint32_t r, std::int32_t a) {
    const std::int64_t x = v + 2 * std::int64_t(r) - a;
    return x < 0 ? std::uint8_t(0) : x > 255 ? std::uint8_t(255) : std::uint8_t(x);
}
}  // namespace

void AddNoise(Bitmap& picture, const TRect& selection, std::int32_t a, std::uint32_t seed) {
    // In place on the visible part; pixels of the selection outside the picture still use
    // their draws, so every pixel gets the numbers the whole region's pass gives it.
    const TRect part = VisiblePart(picture, selection);
    if (part.Width() == 0 || part.Height() == 0) return;
    NoiseStreams noise(seed);
    const std::uint32_t range = static_cast<std::uint32_t>(a);
    noise.Skip(std::uint64_t(part.Top - std::int64_t(selection.Top)) * std::uint64_t(selection.Width()));
    const std::uint64_t before = std::uint64_t(part.Left - std::int64_t(selection.Left));
    const std::uint64_t after = std::uint64_t(std::int64_t(selection.Right) - part.Right);
    for (int y = part.Top; y <= part.Bottom; ++y) {
        noise.Skip(before);
        std::uint8_t* p = picture.Pixel(part.Left, y);
        for (std::int64_t x = 0; x < part.Width(); ++x, p += 3) {
            std::uint32_t r[3];
            noise.Draw(range, r);
            p[2] = Moved(p[2], r[0], a);
            p[1] = Moved(p[1], r[1], a);
            p[0] = Moved(p[0], r[2], a);
        }
        noise.Skip(after);
    }
}

// ---- Sharpness and FindEdges ----------------------------------------------------------------

namespace {
// (sum of the eight neighbours) div 8 for columns 1..width - 2 of a row, given the grey rows
// above, at and below it. A plain loop over bytes, which the compiler vectorises.
void NeighbourMeans(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, int width,
                    std::uint8_t* means) {
    for (int x = 1; x < width - 1; ++x)
        means[x] = std::uint8_t((up[x - 1] + up[x] + up[x + 1] + mid[x - 1] + mid[x + 1] + down[x - 1] +
                                 down[x] + down[x + 1]) / 8);
}
}  // namespace

void Sharpness(Bitmap& picture, const TRect& selection, SharpnessStep step) {
    FilterFrame(picture, selection, [step](Bitmap& region) {
        const int width = region.Width(), height = region.Height();
        if (width < 3 || height < 3) return;
        const GrayMap gray = MakeGrayMap(region);
        std::vector<std::uint8_t> means(static_cast<std::size_t>(width));
        // New v = Trunc(d * k + old v) with k = 2 or -0.5. Both products are exact, so in
        // integers: v + 2d, and (2v - d) / 2 with C++'s division truncating toward zero.
        auto sharpen = [](int d, int v) { return ClampByte(v + 2 * d); };
        auto soften = [](int d, int v) { return ClampByte((2 * v - d) / 2); };
        auto run = [&](auto rule) {
            for (int y = 1; y < height - 1; ++y) {
                NeighbourMeans(gray.Row(y - 1), gray.Row(y), gray.Row(y + 1), width, means.data());
                std::uint8_t* p = region.Pixel(1, y);
                for (int x = 1; x < width - 1; ++x, p += 3) {
                    // Each channel's d is the grey of the pixel as it is at that moment, with
                    // the channels before it already rewritten.
                    const int m = means[std::size_t(x)];
                    const int r = p[2], g = p[1], b = p[0];
                    const int newR = rule((r + g + b) / 3 - m, r);
                    const int newG = rule((newR + g + b) / 3 - m, g);
                    const int newB = rule((newR + newG + b) / 3 - m, b);
                    p[2] = std::uint8_t(newR), p[1] = std::uint8_t(newG), p[0] = std::uint8_t(newB);
                }
            }
        };
        if (step == SharpnessStep::Increase)
            run(sharpen);
        else
            run(soften);
    });
}

namespace {
// Black outline along the picture's outermost rows and columns.
void DrawOutline(Bitmap& picture) {
    const int width = picture.Width(), height = picture.Height();
    if (width == 0 || height == 0) return;
    std::fill_n(picture.Row(0), picture.RowBytes(), std::uint8_t(0));
    std::fill_n(picture.Row(height - 1), picture.RowBytes(), std::uint8_t(0));
    for (int y = 0; y < height; ++y) {
        std::fill_n(picture.Pixel(0, y), 3, std::uint8_t(0));
        std::fill_n(picture.Pixel(width - 1, y), 3, std::uint8_t(0));
    }
}

// Each interior pixel becomes the grey of its mean absolute difference to its neighbours.
void EdgePass(Bitmap& region) {
    const int width = region.Width(), height = region.Height();
    const GrayMap gray = MakeGrayMap(region);
    std::vector<std::uint8_t> edges(static_cast<std::size_t>(width));
    for (int y = 1; y < height - 1; ++y) {
        const std::uint8_t *up = gray.Row(y - 1), *mid = gray.Row(y), *down = gray.Row(y + 1);
        // The differences first, in a loop over bytes that the compiler vectorises.
        for (int x = 1; x < width - 1; ++x) {
            const int c = mid[x];
            const int sum = std::abs(up[x - 1] - c) + std::abs(up[x] - c) + std::abs(up[x + 1] - c) +
                            std::abs(mid[x - 1] - c) + std::abs(mid[x + 1] - c) +
                            std::abs(down[x - 1] - c) + std::abs(down[x] - c) + std::abs(down[x + 1] - c);
            edges[std::size_t(x)] = std::uint8_t(sum / 8);
        }
        std::uint8_t* p = region.Pixel(1, y);
        for (int x = 1; x < width - 1; ++x, p += 3) p[0] = p[1] = p[2] = edges[std::size_t(x)];
    }
}

// Spreads the interior block over the whole region: the outermost columns and rows repeat
// their inner neighbours, every interior pixel keeps its place.
void RepeatInteriorEdges(Bitmap& region) {
    const int width = region.Width(), height = region.Height();
    for (int y = 1; y < height - 1; ++y) {
        std::copy_n(region.Pixel(1, y), 3, region.Pixel(0, y));
        std::copy_n(region.Pixel(width - 2, y), 3, region.Pixel(width - 1, y));
    }
    std::copy_n(region.Row(1), region.RowBytes(), region.Row(0));
    std::copy_n(region.Row(height - 2), region.RowBytes(), region.Row(height - 1));
}
}  // namespace

void FindEdges(Bitmap& picture, const TRect& selection) {
    Bitmap region = CopyRegion(picture, selection);
    const bool hasInterior = region.Width() >= 3 && region.Height() >= 3;
    if (hasInterior) {
        EdgePass(region);
        RepeatInteriorEdges(region);
    }
    // The outline goes on first, so the copy-back covers it where the selection meets the
    // picture's border.
    DrawOutline(picture);
    if (hasInterior) DrawRegion(picture, region, selection.Left, selection.Top);
    region.Clear();
    Optimize(picture, selection);
    Logaritmize(picture, selection, ChannelSelector::All);
}
