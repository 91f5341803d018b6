#include <gtest/gtest.h>

#include "filters/Feather.h"
#include "PictureSupport.h"
#include "filters/Symmetry.h"

TEST(Mirror, FlipsTheWholePictureAndSelectsAll) {
    const Bitmap before = Asymmetric(7, 5);
    for (MirrorAxis axis : {MirrorAxis::Horizontal, MirrorAxis::Vertical}) {
        Bitmap picture = before;
        TRect selection{1, 1, 2, 2};
        Mirror(picture, selection, axis);
        EXPECT_EQ(selection, (TRect{0, 0, 6, 4}));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                const Rgb from = axis == MirrorAxis::Horizontal ? At(before, 6 - x, y) : At(before, x, 4 - y);
                ASSERT_EQ(At(picture, x, y), from) << x << "," << y;
            }
        Mirror(picture, selection, axis);
        EXPECT_EQ(FirstDifference(before, picture), "");
    }
}

TEST(Reflection, AveragesPartnersTruncating) {
    Bitmap row = Filled(2, 1, {10, 0, 255});
    Put(row, 1, 0, {21, 1, 254});
    TRect selection{0, 0, 0, 0};
    Reflection(row, selection, MirrorAxis::Horizontal);
    EXPECT_EQ(At(row, 0, 0), (Rgb{15, 0, 254}));
    EXPECT_EQ(At(row, 1, 0), (Rgb{15, 0, 254}));
    EXPECT_EQ(selection, (TRect{0, 0, 1, 0}));

    Bitmap column = Filled(1, 3, {10, 10, 10});
    Put(column, 0, 1, {99, 98, 97});
    Put(column, 0, 2, {21, 21, 21});
    Reflection(column, selection, MirrorAxis::Vertical);
    EXPECT_EQ(At(column, 0, 0), (Rgb{15, 15, 15}));
    EXPECT_EQ(At(column, 0, 1), (Rgb{99, 98, 97}));  // its own partner
    EXPECT_EQ(At(column, 0, 2), (Rgb{15, 15, 15}));
}

TEST(Reflection, SymmetricPictureStays) {
    Bitmap picture = Asymmetric(7, 5);
    TRect selection{0, 0, 6, 4};
    for (int y = 0; y < 5; ++y)
        for (int x = 4; x < 7; ++x) Put(picture, x, y, At(picture, 6 - x, y));
    const Bitmap before = picture;
    Reflection(picture, selection, MirrorAxis::Horizontal);
    EXPECT_EQ(FirstDifference(before, picture), "");
}

TEST(Feather, FourByFourExamples) {
    const PackedColor colour = PackColor(200, 100, 0);
    Bitmap picture = Filled(6, 6, {40, 80, 120});
    Feather(picture, {1, 1, 4, 4}, colour);  // selection (x, y) is picture (x + 1, y + 1)
    const struct {
        int x, y;
        Rgb out;
    } cases[] = {
        {2, 2, {40, 80, 120}},                         // the centre keeps its value
        {0, 2, {200, 100, 0}},                         // on the ellipse
        {2, 0, {200, 100, 0}}, {0, 0, {200, 100, 0}},  // outside
        {3, 3, {153, 94, 35}},                         // d = 0.7071..., t = 0.2928...: Trunc(c (1 - t) + v t)
        {1, 2, {120, 90, 60}},                         // d = 0.5: the halfway point
        {3, 2, {120, 90, 60}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(At(picture, c.x + 1, c.y + 1), c.out) << c.x << "," << c.y;
    }
    EXPECT_EQ(At(picture, 0, 0), (Rgb{40, 80, 120}));  // outside the selection
    EXPECT_EQ(At(picture, 5, 5), (Rgb{40, 80, 120}));
}

TEST(Feather, OnePixelWideSelectionFadesAlongItsLength) {
    Bitmap picture = Filled(1, 5, {0, 0, 0});
    EXPECT_NO_THROW(Feather(picture, {0, 0, 0, 4}, PackColor(255, 255, 255)));
    // cx = 0 counts as no horizontal term; cy = 2.
    EXPECT_EQ(At(picture, 0, 2), (Rgb{0, 0, 0}));
    EXPECT_EQ(At(picture, 0, 1), (Rgb{127, 127, 127}));
    EXPECT_EQ(At(picture, 0, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(At(picture, 0, 4), (Rgb{255, 255, 255}));
}
