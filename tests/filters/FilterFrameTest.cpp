#include <gtest/gtest.h>

#include "filters/FilterFrame.h"
#include "PictureSupport.h"

TEST(PixelHelpers, ClampByte) {
    const struct {
        std::int32_t in;
        int out;
    } cases[] = {{-1, 0}, {256, 255}, {0, 0}, {255, 255}, {128, 128}, {INT32_MIN, 0}, {INT32_MAX, 255}};
    for (const auto& c : cases) EXPECT_EQ(ClampByte(c.in), c.out) << c.in;
}

TEST(PixelHelpers, PixelGrayTruncates) {
    const struct {
        Rgb in;
        int gray;
    } cases[] = {{{255, 255, 254}, 254}, {{1, 1, 0}, 0}, {{255, 255, 255}, 255}, {{255, 0, 0}, 85}, {{2, 2, 1}, 1}};
    for (const auto& c : cases) {
        Bitmap picture = Filled(1, 1, c.in);
        EXPECT_EQ(PixelGray(picture.Pixel(0, 0)), c.gray) << c.in;
    }
}

TEST(FilterFrame, RegionIsTheSelectionWithBlackOutsideAndIsDrawnBackClipped) {
    const Bitmap before = Asymmetric(5, 4);
    Bitmap picture = before;
    const TRect selection{3, -1, 6, 1};  // reaches past the right and above the top
    FilterFrame(picture, selection, [&](Bitmap& region) {
        ASSERT_EQ(region.Width(), 4);
        ASSERT_EQ(region.Height(), 3);
        EXPECT_EQ(At(region, 0, 0), (Rgb{0, 0, 0}));  // row -1
        EXPECT_EQ(At(region, 0, 1), At(before, 3, 0));
        EXPECT_EQ(At(region, 1, 2), At(before, 4, 1));
        EXPECT_EQ(At(region, 2, 1), (Rgb{0, 0, 0}));  // column 5
        for (int y = 0; y < region.Height(); ++y)
            for (int x = 0; x < region.Width(); ++x) Put(region, x, y, {1, 2, 3});
    });
    EXPECT_EQ(ChangeOutside(before, picture, selection), "");
    for (int y = 0; y <= 1; ++y)
        for (int x = 3; x <= 4; ++x) EXPECT_EQ(At(picture, x, y), (Rgb{1, 2, 3}));
}

TEST(FilterFrame, VisiblePart) {
    const Bitmap picture(6, 4);
    const struct {
        TRect selection, part;
    } cases[] = {
        {{0, 0, 5, 3}, {0, 0, 5, 3}},
        {{-3, -2, 2, 9}, {0, 0, 2, 3}},
        {{7, 0, 9, 3}, {7, 0, 6, 3}},  // wholly right of the picture: empty
    };
    for (const auto& c : cases) {
        const TRect part = VisiblePart(picture, c.selection);
        EXPECT_EQ(part.Width() * part.Height(), c.part.Width() * c.part.Height());
        if (c.part.Width() > 0) {
            EXPECT_EQ(part, c.part);
        }
    }
}

TEST(FilterFrame, PointRuleVisitsExactlyTheVisibleSelectedPixels) {
    Bitmap picture = Filled(7, 5, {0, 0, 0});
    ApplyPointRule(picture, TRect{5, 3, 8, 6}, [](std::uint8_t* p) { ++p[0]; });
    int visited = 0;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            const bool inside = x >= 5 && y >= 3;
            EXPECT_EQ(At(picture, x, y).B, inside ? 1 : 0) << x << "," << y;
            visited += At(picture, x, y).B;
        }
    EXPECT_EQ(visited, 4);
}
