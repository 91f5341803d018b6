// Each routine against a plain version of the same rule: the region copied out, every pixel
// computed on its own the slow way, drawn back; or against its own plain rule (PlainRules.h).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "filters/Feather.h"
#include "filters/FilterFrame.h"
#include "filters/Neighbourhood.h"
#include "filters/Noise.h"
#include "PictureSupport.h"
#include "filters/PlainRules.h"
#include "filters/PointFilters.h"
#include "filters/Symmetry.h"
#include "filters/ToneFilters.h"

namespace {

Bitmap PlainFrame(const Bitmap& picture, const TRect& selection, const std::function<void(Bitmap&)>& pass) {
    Bitmap result = picture;
    Bitmap region = CopyRegion(picture, selection);
    pass(region);
    DrawRegion(result, region, selection.Left, selection.Top);
    return result;
}

// Rewrites each channel value v of channel c (0 blue, 1 green, 2 red) as rule(c, v).
Bitmap PlainChannels(const Bitmap& picture, const TRect& selection, const std::function<int(int, int)>& rule) {
    return PlainFrame(picture, selection, [&](Bitmap& region) {
        for (int y = 0; y < region.Height(); ++y)
            for (int x = 0; x < region.Width(); ++x)
                for (int c = 0; c < 3; ++c) region.Pixel(x, y)[c] = std::uint8_t(rule(c, region.Pixel(x, y)[c]));
    });
}

struct Case {
    Bitmap picture;
    TRect selection;
};

// Random pictures with odd and even sizes and selections inside, across and beyond the edges.
std::vector<Case> RandomCases() {
    std::mt19937 random(2024);
    std::vector<Case> cases;
    for (int i = 0; i < 12; ++i) {
        // Up to 70 wide: several 16-pixel blocks of the vectorised loops, and a tail.
        const int width = 1 + int(random() % (i % 3 == 2 ? 70 : 23)), height = 1 + int(random() % 17);
        auto coordinate = [&](int size) { return int(random() % std::uint32_t(size + 6)) - 3; };
        TRect selection{coordinate(width), coordinate(height), coordinate(width), coordinate(height)};
        selection.Normalize();
        if (i == 0) selection = {0, 0, width - 1, height - 1};
        cases.push_back({RandomPicture(width, height, std::uint32_t(i)), selection});
    }
    return cases;
}

void ExpectSame(const Bitmap& expected, const Bitmap& actual, const Case& c, const char* what) {
    EXPECT_EQ(FirstDifference(expected, actual), "")
        << what << " on " << c.picture.Width() << "x" << c.picture.Height() << " selecting " << c.selection.Left << ","
        << c.selection.Top << " - " << c.selection.Right << "," << c.selection.Bottom;
}

// Runs a routine by its fast path or by its plain rule, whichever the environment chose.
template <class Routine>
Bitmap Applied(const Case& c, Routine routine, bool plain = false) {
    const bool chosen = PlainRulesChosen();
    ChoosePlainRules(plain);
    Bitmap picture = c.picture;
    routine(picture, c.selection);
    ChoosePlainRules(chosen);
    return picture;
}

template <class Routine>
void ExpectPlain(const Case& c, Routine routine, const char* what) {
    ExpectSame(Applied(c, routine, true), Applied(c, routine), c, what);
}

}  // namespace

TEST(FastPaths, ChannelTablesMatchTheirRules) {
    for (const Case& c : RandomCases()) {
        // Amounts (blue, green, red) up and down, past the byte range and at its ends.
        for (const std::array<int, 3> amount : {std::array{-300, 7, -25}, {255, -255, 0}, {25, 300, -1}})
            ExpectPlain(
                c, [&](Bitmap& p, const TRect& s) { AdjustChannels(p, s, amount[2], amount[1], amount[0]); },
                "AdjustChannels");
        for (ChannelSelector channels :
             {ChannelSelector::All, ChannelSelector::Red, ChannelSelector::Green, ChannelSelector::Blue})
            ExpectPlain(
                c, [&](Bitmap& p, const TRect& s) { Invert(p, s, channels); }, "Invert");
        for (ContrastStep step : {ContrastStep::Increase, ContrastStep::Decrease})
            ExpectPlain(
                c, [&](Bitmap& p, const TRect& s) { Contrast(p, s, step); }, "Contrast");
        ExpectSame(
            PlainChannels(c.picture, c.selection,
                          [](int ch, int v) {
                              return ch != 2 ? v : int(std::llrint(std::log10((long double)(v + 1)) * 105.88L)) & 255;
                          }),
            Applied(c, [](Bitmap& p, const TRect& s) { Logaritmize(p, s, ChannelSelector::Red); }), c, "Logaritmize");
    }
}

TEST(FastPaths, OptimizeMatchesTheTwoPassRule) {
    for (Case c : RandomCases()) {
        // Narrow the values so the stretch has work to do, and flatten green in some cases.
        for (int y = 0; y < c.picture.Height(); ++y)
            for (int x = 0; x < c.picture.Width(); ++x) {
                Rgb v = At(c.picture, x, y);
                Put(c.picture, x, y, {40 + v.R / 3, c.picture.Width() % 2 ? 90 : v.G, v.B / 2 + 1});
            }
        const Bitmap expected = PlainFrame(c.picture, c.selection, [](Bitmap& region) {
            int low[3] = {256, 256, 256}, high[3] = {-1, -1, -1};
            for (int y = 0; y < region.Height(); ++y)
                for (int x = 0; x < region.Width(); ++x)
                    for (int ch = 0; ch < 3; ++ch) {
                        low[ch] = std::min<int>(low[ch], region.Pixel(x, y)[ch]);
                        high[ch] = std::max<int>(high[ch], region.Pixel(x, y)[ch]);
                    }
            for (int y = 0; y < region.Height(); ++y)
                for (int x = 0; x < region.Width(); ++x)
                    for (int ch = 0; ch < 3; ++ch) {
                        if (low[ch] == high[ch]) continue;
                        const double scale = 255.0L / (long double)(high[ch] - low[ch]);
                        const double offset = -(long double)scale * low[ch];
                        std::uint8_t& v = region.Pixel(x, y)[ch];
                        v = std::uint8_t(std::llrint((long double)v * scale + offset));
                    }
        });
        ExpectSame(expected, Applied(c, [](Bitmap& p, const TRect& s) { Optimize(p, s); }), c, "Optimize");
    }
}

// The plain rule against the window added up again for every pixel, and the fast paths against
// it: each 16-bit division, 8 past them, 128 and 129 either side of the 16-bit column sums, and
// the largest radius, whose sums reach the top of 32 bits.
TEST(FastPaths, MeanMatchesReaddingTheWindow) {
    for (const Case& c : RandomCases())
        for (int n : {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 13, 40, 128, 129, 700, MeanMaxRadius}) {
            const auto mean = [n](Bitmap& p, const TRect& s) { Mean(p, s, n); };
            ExpectPlain(c, mean, "Mean");
            if (n > 13) continue;
            const Bitmap readded = PlainFrame(c.picture, c.selection, [n](Bitmap& region) {
                const Bitmap map = region;
                const int w = region.Width(), h = region.Height();
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        int sum[3] = {0, 0, 0};
                        for (int dx = -n; dx <= n; ++dx)
                            for (int dy = -n; dy <= n; ++dy) {
                                const int sx = std::min(std::max(x + dx, 0), w - 1);
                                const int sy = std::min(std::max(y + dy, 0), h - 1);
                                for (int ch = 0; ch < 3; ++ch) sum[ch] += map.Pixel(sx, sy)[ch];
                            }
                        for (int ch = 0; ch < 3; ++ch)
                            region.Pixel(x, y)[ch] = std::uint8_t(sum[ch] / ((2 * n + 1) * (2 * n + 1)));
                    }
            });
            ExpectSame(readded, Applied(c, mean, true), c, "the plain Mean");
        }
}

TEST(FastPaths, NoiseMatchesOneGeneratorOverTheSelection) {
    for (const Case& c : RandomCases())
        for (int a : {1, 25, 300})
            ExpectPlain(
                c, [a](Bitmap& p, const TRect& s) { AddNoise(p, s, a, 31337); }, "AddNoise");
}

TEST(FastPaths, SharpnessMatchesTheFloatingRule) {
    for (const Case& c : RandomCases())
        for (SharpnessStep step : {SharpnessStep::Increase, SharpnessStep::Decrease}) {
            const double k = step == SharpnessStep::Increase ? 2.0 : -0.5;
            const Bitmap expected = PlainFrame(c.picture, c.selection, [k](Bitmap& region) {
                const Bitmap map = region;
                for (int y = 1; y < region.Height() - 1; ++y)
                    for (int x = 1; x < region.Width() - 1; ++x) {
                        int sum = 0;
                        for (int dy = -1; dy <= 1; ++dy)
                            for (int dx = -1; dx <= 1; ++dx)
                                if (dx || dy) sum += PixelGray(map.Pixel(x + dx, y + dy));
                        const int m = sum / 8;
                        std::uint8_t* p = region.Pixel(x, y);
                        const int old[3] = {p[0], p[1], p[2]};
                        for (int ch : {2, 1, 0}) {
                            const int d = PixelGray(p) - m;
                            p[ch] = ClampByte(std::int32_t(std::trunc(d * (long double)k + old[ch])));
                        }
                    }
            });
            ExpectSame(expected, Applied(c, [step](Bitmap& p, const TRect& s) { Sharpness(p, s, step); }), c,
                       "Sharpness");
        }
}

TEST(FastPaths, FindEdgesMatchesTheRegionCopyAndSeparateTonePasses) {
    for (const Case& c : RandomCases()) {
        Bitmap expected = c.picture;
        Bitmap region = CopyRegion(c.picture, c.selection);
        const int w = region.Width(), h = region.Height();
        const bool interior = w >= 3 && h >= 3;
        if (interior) {
            const Bitmap before = region;
            for (int y = 1; y < h - 1; ++y)
                for (int x = 1; x < w - 1; ++x) {
                    const int centre = PixelGray(before.Pixel(x, y));
                    int sum = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            sum += std::abs(PixelGray(before.Pixel(x + dx, y + dy)) - centre);
                    Put(region, x, y, {sum / 8, sum / 8, sum / 8});
                }
            for (int y = 1; y < h - 1; ++y) {
                Put(region, 0, y, At(region, 1, y));
                Put(region, w - 1, y, At(region, w - 2, y));
            }
            for (int x = 0; x < w; ++x) {
                Put(region, x, 0, At(region, x, 1));
                Put(region, x, h - 1, At(region, x, h - 2));
            }
        }
        for (int y = 0; y < expected.Height(); ++y)
            for (int x = 0; x < expected.Width(); ++x)
                if (x == 0 || y == 0 || x == expected.Width() - 1 || y == expected.Height() - 1)
                    Put(expected, x, y, {0, 0, 0});
        if (interior) DrawRegion(expected, region, c.selection.Left, c.selection.Top);
        Optimize(expected, c.selection);
        Logaritmize(expected, c.selection, ChannelSelector::All);
        ExpectSame(expected, Applied(c, [](Bitmap& p, const TRect& s) { FindEdges(p, s); }), c, "FindEdges");
    }
}

TEST(FastPaths, MirrorAndReflectionMatchThePixelAccessorVersions) {
    for (const Case& c : RandomCases())
        for (MirrorAxis axis : {MirrorAxis::Horizontal, MirrorAxis::Vertical}) {
            const int w = c.picture.Width(), h = c.picture.Height();
            const bool across = axis == MirrorAxis::Horizontal;
            Bitmap mirrored(w, h), reflected = c.picture;
            std::vector<PackedColor> map(std::size_t(w) * std::size_t(h));
            const auto at = [&](int x, int y) -> PackedColor& {
                return map[std::size_t(y) * std::size_t(w) + std::size_t(x)];
            };
            for (int x = 0; x < w; ++x)
                for (int y = 0; y < h; ++y) {
                    const PackedColor own = c.picture.GetColor(x, y);
                    const PackedColor partner =
                        across ? c.picture.GetColor(w - 1 - x, y) : c.picture.GetColor(x, h - 1 - y);
                    if (across)
                        mirrored.SetColor(w - 1 - x, y, own);
                    else
                        mirrored.SetColor(x, h - 1 - y, own);
                    at(x, y) = PackColor((RedOf(own) + RedOf(partner)) / 2, (GreenOf(own) + GreenOf(partner)) / 2,
                                         (BlueOf(own) + BlueOf(partner)) / 2);
                }
            for (int x = 0; x < w; ++x)
                for (int y = 0; y < h; ++y) reflected.SetColor(x, y, at(x, y));
            TRect selection = c.selection;
            ExpectSame(mirrored, Applied(c, [&](Bitmap& p, const TRect&) { Mirror(p, selection, axis); }), c, "Mirror");
            ExpectSame(reflected, Applied(c, [&](Bitmap& p, const TRect&) { Reflection(p, selection, axis); }), c,
                       "Reflection");
        }
}

TEST(FastPaths, FeatherMatchesThePerPixelDistance) {
    for (const Case& c : RandomCases()) {
        const PackedColor colour = PackColor(250, 3, 128);
        const Bitmap expected = PlainFrame(c.picture, c.selection, [colour](Bitmap& region) {
            const int cx = region.Width() / 2, cy = region.Height() / 2;
            for (int y = 0; y < region.Height(); ++y)
                for (int x = 0; x < region.Width(); ++x) {
                    const long double qx = cx ? (long double)((x - cx) * (x - cx)) / (cx * cx) : 0.0L;
                    const long double qy = cy ? (long double)((y - cy) * (y - cy)) / (cy * cy) : 0.0L;
                    const double d = std::sqrt(qx + qy);
                    std::uint8_t* p = region.Pixel(x, y);
                    const int target[3] = {BlueOf(colour), GreenOf(colour), RedOf(colour)};
                    const double t = double(1.0L - d);
                    for (int ch = 0; ch < 3; ++ch)
                        p[ch] =
                            d > 1.0
                                ? std::uint8_t(target[ch])
                                : std::uint8_t(std::trunc(target[ch] * (1 - (long double)t) + p[ch] * (long double)t));
                }
        });
        ExpectSame(expected, Applied(c, [colour](Bitmap& p, const TRect& s) { Feather(p, s, colour); }), c, "Feather");
    }
}

// The vector rules meet every value both in whole blocks and in the bytes after a row's last
// block, whose tables are built from the same rules: each must equal its plain curve there.
TEST(FastPaths, VectorRulesHoldTheirCurvesOnEveryValueInBlocksAndTails) {
    // 261 pixels: 16 whole blocks and 5 pixels after them; the rows shift the values so that
    // every value of every channel reaches the tail.
    Bitmap picture(261, 60);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            for (int ch = 0; ch < 3; ++ch) picture.Pixel(x, y)[ch] = std::uint8_t(x + 5 * y + 85 * ch);
    const Case c{picture, {0, 0, 260, 59}};
    for (ContrastStep step : {ContrastStep::Increase, ContrastStep::Decrease})
        ExpectPlain(
            c, [&](Bitmap& p, const TRect& s) { Contrast(p, s, step); }, "Contrast");
    ExpectPlain(
        c, [](Bitmap& p, const TRect& s) { Invert(p, s, ChannelSelector::Green); }, "Invert");
    ExpectPlain(
        c, [](Bitmap& p, const TRect& s) { AdjustChannels(p, s, 255, 0, -40); }, "AdjustChannels");
}
