#include "retouch/Tools.h"

#include <gtest/gtest.h>

namespace {
Bitmap Filled(int w, int h, PackedColor c) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetColor(x, y, c);
    return b;
}
const PackedColor White = PackColor(255, 255, 255);
}  // namespace

TEST(Airbrush, RadiusOneTouchesOnlyTheCentreAndItsRim) {
    Bitmap b = Filled(5, 5, 0);
    AirbrushAt(b, 2, 2, 1, 10, 20, White);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(b.GetColor(x, y), x == 2 && y == 2 ? PackColor(127, 127, 127) : 0u) << x << "," << y;
}

TEST(Airbrush, WeightFallsLinearlyAndTruncates) {
    struct Case {
        int size, opacity, dx;
        std::uint8_t expected;  // white over black
    } cases[] = {
        {10, 10, 0, 127},                    // 0.5 * 255 = 127.5
        {10, 20, 0, 255}, {10, 20, 5, 127},  // (1 - 0.5) * 1
        {10, 10, 5, 63},                     // 0.25 * 255 = 63.75
        {10, 20, 10, 0},                     // the rim is rewritten unchanged
        {4, 1, 1, 9},                        // 0.75 * 0.05 * 255 = 9.56
        {3, 20, 1, 169},                     // w = 2/3 kept as a double: 169.99999999999999
    };
    for (const Case& c : cases) {
        Bitmap b = Filled(25, 25, 0);
        AirbrushAt(b, 12, 12, c.size, c.opacity, 20, White);
        EXPECT_EQ(RedOf(b.GetColor(12 + c.dx, 12)), c.expected) << c.size << " " << c.opacity << " " << c.dx;
    }
}

TEST(Shade, LightenAndDarkenClampAndAddUp) {
    struct Case {
        std::uint8_t start;
        int size, amount, dabs;
        std::uint8_t centre;
    } cases[] = {
        {250, 1, 20, 1, 255},                          // clamped
        {5, 1, -20, 1, 0},                             // never below 0
        {100, 10, 10, 1, 110}, {100, 10, 10, 3, 130},  // repeated dabs add up
        {100, 10, -10, 2, 80},
    };
    for (const Case& c : cases) {
        Bitmap b = Filled(5, 5, PackColor(c.start, c.start, c.start));
        for (int i = 0; i < c.dabs; ++i) ShadeAt(b, 2, 2, c.size, c.amount);
        EXPECT_EQ(b.GetColor(2, 2), PackColor(c.centre, c.centre, c.centre)) << int(c.start) << " " << c.amount;
    }
    // Half-way to the rim the amount halves: 100 + 5.
    Bitmap b = Filled(30, 30, PackColor(100, 100, 100));
    ShadeAt(b, 15, 15, 10, 10);
    EXPECT_EQ(RedOf(b.GetColor(20, 15)), 105);
}

// A dab hanging over the picture's edge paints the part inside as the same dab paints it on a
// larger picture; one wholly outside paints nothing.
TEST(Tools, DabsReachingOutsideThePictureAreClipped) {
    constexpr int Margin = 20;
    Bitmap b = Filled(4, 3, 0), large = Filled(4 + 2 * Margin, 3 + 2 * Margin, 0);
    AirbrushAt(b, 0, 0, 20, 20, 20, White);
    AirbrushAt(large, Margin, Margin, 20, 20, 20, White);
    ShadeAt(b, 3, 2, 20, 50);
    ShadeAt(large, Margin + 3, Margin + 2, 20, 50);
    AirbrushAt(b, -100, -100, 5, 20, 20, White);
    ASSERT_EQ(b.Width(), 4);
    ASSERT_EQ(b.Height(), 3);
    EXPECT_NE(b.GetColor(0, 0), 0u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(b.GetColor(x, y), large.GetColor(Margin + x, Margin + y)) << x << "," << y;
    EXPECT_EQ(PickColor(b, 4, 0), std::nullopt);
    EXPECT_EQ(PickColor(b, -1, 0), std::nullopt);
    EXPECT_EQ(PickColor(b, 3, 2), b.GetColor(3, 2));
}
