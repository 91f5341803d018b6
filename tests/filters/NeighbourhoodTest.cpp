#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "filters/Neighbourhood.h"
#include "filters/Noise.h"
#include "PictureSupport.h"

TEST(Mean, SingleColourStaysForAnyRadius) {
    for (int n : {0, 1, 5, 40}) {
        const Bitmap flat = Filled(7, 5, {90, 17, 250});
        Bitmap picture = flat;
        Mean(picture, {0, 0, 6, 4}, n);
        EXPECT_EQ(FirstDifference(flat, picture), "") << n;
    }
}

TEST(Mean, WhiteDotSpreadsOverItsThreeByThree) {
    Bitmap picture = Filled(7, 5, {0, 0, 0});
    Put(picture, 3, 2, {255, 255, 255});
    Mean(picture, {0, 0, 6, 4}, 1);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            const int expected = (std::abs(x - 3) <= 1 && std::abs(y - 2) <= 1) ? 28 : 0;
            EXPECT_EQ(At(picture, x, y), (Rgb{expected, expected, expected})) << x << "," << y;
        }
}

TEST(Mean, CornerPixelCountsForItsClampedNeighbours) {
    // Only the corner is non-zero, with value (2n + 1)^2: the corner's result is its count.
    const struct { int n, corner, count; } cases[] = {{5, 121, 36}, {1, 9, 4}, {2, 25, 9}};
    for (const auto& c : cases) {
        Bitmap picture = Filled(13, 12, {0, 0, 0});
        Put(picture, 0, 0, {c.corner, 0, 0});
        Put(picture, 12, 11, {0, 0, c.corner});
        Mean(picture, {0, 0, 12, 11}, c.n);
        EXPECT_EQ(At(picture, 0, 0), (Rgb{c.count, 0, 0})) << c.n;
        EXPECT_EQ(At(picture, 12, 11), (Rgb{0, 0, c.count})) << c.n;
    }
}

TEST(Mean, ReadsOnlyTheSelectionAndKeepsTheRest) {
    const Bitmap before = Asymmetric(9, 7);
    Bitmap picture = before;
    const TRect selection{2, 1, 5, 4};
    Mean(picture, selection, 1);
    EXPECT_EQ(ChangeOutside(before, picture, selection), "");
    // The selection's corner averages only selection pixels (edges repeated).
    int red = 0;
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) red += At(before, std::max(2, 2 + dx), std::max(1, 1 + dy)).R;
    EXPECT_EQ(At(picture, 2, 1).R, red / 9);
}

// At the largest radius the window sums reach the top of their range: on two pixels a and b
// side by side, the left one's window holds n + 1 columns of a and n of b, each 2n + 1 high.
TEST(Mean, LargestRadiusSumsWithoutOverflowAndOneMoreIsRefused) {
    Bitmap picture = Filled(2, 1, {255, 255, 255});
    Put(picture, 1, 0, {254, 0, 1});
    const TRect all{0, 0, 1, 0};
    Mean(picture, all, MeanMaxRadius);
    const int n = MeanMaxRadius;
    auto mean = [n](int own, int other) { return ((n + 1) * own + n * other) / (2 * n + 1); };
    EXPECT_EQ(At(picture, 0, 0), (Rgb{mean(255, 254), mean(255, 0), mean(255, 1)}));
    EXPECT_EQ(At(picture, 1, 0), (Rgb{mean(254, 255), mean(0, 255), mean(1, 255)}));
    const Bitmap before = picture;
    EXPECT_THROW(Mean(picture, all, MeanMaxRadius + 1), std::invalid_argument);
    EXPECT_EQ(FirstDifference(before, picture), "");
}

TEST(AddNoise, FirstDrawsFollowTheGenerator) {
    // state <- state * 134775813 + 1, draw = high word of state * 25; from 12345 the first
    // draws are 9, 7, 1, 13, 15, 8 (red, green, blue of pixel 0, then pixel 1).
    Bitmap picture = Filled(3, 2, {128, 128, 128});
    AddNoise(picture, {0, 0, 2, 1}, 25, 12345);
    EXPECT_EQ(At(picture, 0, 0), (Rgb{121, 117, 105}));
    EXPECT_EQ(At(picture, 1, 0), (Rgb{129, 133, 119}));
}

TEST(AddNoise, MovesAreOddWithinTheRangeAndColoured) {
    const int size = 64;
    Bitmap picture = Filled(size, size, {128, 128, 128});
    AddNoise(picture, {0, 0, size - 1, size - 1}, 25, 4242);
    std::map<int, int> moves;
    long total = 0;
    int coloured = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const Rgb c = At(picture, x, y);
            for (int v : {c.R, c.G, c.B}) {
                ++moves[v - 128];
                total += v - 128;
            }
            coloured += c.R != c.G || c.G != c.B;
        }
    for (const auto& [move, count] : moves) {
        EXPECT_TRUE(move % 2 != 0 && move >= -25 && move <= 23) << move;
    }
    EXPECT_EQ(moves.size(), 25u);  // every odd move from -25 to 23 occurs
    const double mean = double(total) / (3.0 * size * size);
    EXPECT_NEAR(mean, -1.0, 0.5);
    EXPECT_GT(coloured, size * size * 9 / 10);
}

TEST(AddNoise, SameSeedSameNoiseAndClampedAtTheEnds) {
    Bitmap a = Asymmetric(9, 7), b = Asymmetric(9, 7), c = Asymmetric(9, 7);
    AddNoise(a, {0, 0, 8, 6}, 25, 99);
    AddNoise(b, {0, 0, 8, 6}, 25, 99);
    AddNoise(c, {0, 0, 8, 6}, 25, 100);
    EXPECT_EQ(FirstDifference(a, b), "");
    EXPECT_NE(FirstDifference(a, c), "");

    Bitmap ends = Filled(20, 20, {0, 255, 3});
    AddNoise(ends, {0, 0, 19, 19}, 25, 5);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const Rgb v = At(ends, x, y);
            EXPECT_LE(v.R, 23);
            EXPECT_GE(v.G, 230);
            EXPECT_LE(v.B, 26);
        }
}

TEST(Sharpness, WorkedExamples) {
    const struct {
        SharpnessStep step;
        Rgb out;
    } cases[] = {{SharpnessStep::Increase, {200, 255, 255}}, {SharpnessStep::Decrease, {75, 79, 83}}};
    for (const auto& c : cases) {
        Bitmap picture = Filled(5, 3, {50, 50, 50});
        Put(picture, 2, 1, {100, 100, 100});
        Sharpness(picture, {1, 0, 3, 2}, c.step);
        EXPECT_EQ(At(picture, 2, 1), c.out);
        Put(picture, 2, 1, {50, 50, 50});
        EXPECT_EQ(FirstDifference(Filled(5, 3, {50, 50, 50}), picture), "");  // borders untouched
    }
}

TEST(Sharpness, BordersOutsideAndFlatAreasStay) {
    const Bitmap before = Asymmetric(9, 7);
    const TRect selection{1, 1, 7, 5};
    for (SharpnessStep step : {SharpnessStep::Increase, SharpnessStep::Decrease}) {
        Bitmap picture = before;
        Sharpness(picture, selection, step);
        EXPECT_EQ(ChangeOutside(before, picture, {2, 2, 6, 4}), "");
        EXPECT_NE(FirstDifference(before, picture), "");

        const Bitmap flat = Filled(6, 5, {10, 200, 77});
        picture = flat;
        Sharpness(picture, {0, 0, 5, 4}, step);
        EXPECT_EQ(FirstDifference(flat, picture), "");

        picture = before;
        Sharpness(picture, {3, 0, 4, 6}, step);  // two wide: no interior
        EXPECT_EQ(FirstDifference(before, picture), "");
    }
}

TEST(FindEdges, VerticalStepBecomesABrightLine) {
    // Black left half, white right half: the edge map is 95 on the two columns beside the
    // step and 0 elsewhere; the stretch makes it 255 and the curve keeps 0 and 255.
    Bitmap picture = Filled(8, 6, {0, 0, 0});
    for (int y = 0; y < 6; ++y)
        for (int x = 4; x < 8; ++x) Put(picture, x, y, {255, 255, 255});
    FindEdges(picture, {0, 0, 7, 5});
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const int v = (x == 3 || x == 4) ? 255 : 0;
            EXPECT_EQ(At(picture, x, y), (Rgb{v, v, v})) << x << "," << y;
        }
}

TEST(FindEdges, OutlinesThePictureAndKeepsTheRestOutsideTheSelection) {
    const Bitmap before = Asymmetric(9, 7);
    Bitmap picture = before;
    const TRect selection{2, 2, 6, 4};
    FindEdges(picture, selection);
    Bitmap expected = before;
    for (int x = 0; x < 9; ++x) Put(expected, x, 0, {0, 0, 0}), Put(expected, x, 6, {0, 0, 0});
    for (int y = 0; y < 7; ++y) Put(expected, 0, y, {0, 0, 0}), Put(expected, 8, y, {0, 0, 0});
    EXPECT_EQ(ChangeOutside(expected, picture, selection), "");
    // Inside: grey, and the selection's edge repeats the interior next to it.
    for (int y = 2; y <= 4; ++y)
        for (int x = 2; x <= 6; ++x) {
            const Rgb c = At(picture, x, y);
            EXPECT_TRUE(c.R == c.G && c.G == c.B);
            EXPECT_EQ(c, At(picture, std::clamp(x, 3, 5), 3));
        }
}

TEST(FindEdges, FlatSelectionGivesBlackWithoutError) {
    Bitmap picture = Filled(6, 5, {200, 10, 60});
    EXPECT_NO_THROW(FindEdges(picture, {0, 0, 5, 4}));
    EXPECT_EQ(FirstDifference(Filled(6, 5, {0, 0, 0}), picture), "");
}

TEST(FindEdges, NarrowSelectionKeepsItsPixelsThenRunsTheToneSteps) {
    Bitmap picture = Filled(6, 5, {120, 120, 40});
    Put(picture, 2, 1, {20, 30, 40});
    Put(picture, 3, 3, {220, 130, 40});
    FindEdges(picture, {2, 1, 3, 3});  // 2 x 3: no interior
    // The outline is drawn; the selection is neither edge-mapped nor copied back, only
    // stretched (red 20..220, green 30..130, blue flat at 40 and kept) and lifted by the curve.
    EXPECT_EQ(At(picture, 0, 2), (Rgb{0, 0, 0}));
    EXPECT_EQ(At(picture, 1, 2), (Rgb{120, 120, 40}));
    EXPECT_EQ(At(picture, 2, 1), (Rgb{0, 0, 171}));
    EXPECT_EQ(At(picture, 3, 3), (Rgb{255, 255, 171}));
    EXPECT_EQ(At(picture, 2, 2), (Rgb{223, 250, 171}));  // stretched to 127 and 229 first
}
