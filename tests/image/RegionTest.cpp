#include "image/Region.h"

#include <gtest/gtest.h>

#include "common/Errors.h"

namespace {
// A 5 x 4 picture whose every pixel is distinct: (x, y) holds red x*10+1, green y*10+1, blue 7.
Bitmap Numbered() {
    Bitmap b(5, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) b.SetColor(x, y, PackColor(x * 10 + 1, y * 10 + 1, 7));
    return b;
}
}  // namespace

TEST(Bitmap, StoresBlueGreenRedRowsTopFirst) {
    Bitmap b(2, 2);
    b.SetColor(1, 0, PackColor(0x11, 0x22, 0x33));
    const std::uint8_t* p = b.Row(0) + 3;
    EXPECT_EQ(p[0], 0x33);
    EXPECT_EQ(p[1], 0x22);
    EXPECT_EQ(p[2], 0x11);
    EXPECT_EQ(b.GetColor(1, 0), PackColor(0x11, 0x22, 0x33));
}

TEST(Bitmap, RefusesSizesPastTheBound) {
    Bitmap b;
    EXPECT_THROW(b.SetSize(65536, 1), EInvalidGraphic);
    EXPECT_THROW(b.SetSize(-1, 1), EInvalidGraphic);
    EXPECT_THROW(b.SetSize(20000, 20000), EInvalidGraphic);  // 4e8 pixels
    EXPECT_TRUE(b.Empty());
    EXPECT_TRUE(PictureSizeAllowed(65535, 4096));
    EXPECT_FALSE(PictureSizeAllowed(65535, 4097));
}

TEST(Region, CopiesInsideAndReadsBlackOutside) {
    const Bitmap src = Numbered();
    struct Case {
        TRect area;
        int x, y;              // a pixel of the copy
        PackedColor expected;  // what it must hold
    } cases[] = {
        {{1, 1, 2, 2}, 0, 0, PackColor(11, 11, 7)},
        {{1, 1, 2, 2}, 1, 1, PackColor(21, 21, 7)},
        {{3, 2, 7, 5}, 1, 1, PackColor(41, 31, 7)},  // last column, last row
        {{3, 2, 7, 5}, 2, 0, 0},                     // right of the picture
        {{3, 2, 7, 5}, 0, 2, 0},                     // below the picture
        {{-2, -1, 1, 0}, 2, 1, PackColor(1, 1, 7)},  // negative corner
        {{-2, -1, 1, 0}, 0, 0, 0},
        {{10, 10, 11, 11}, 0, 0, 0},  // wholly outside
    };
    for (const Case& c : cases) {
        const Bitmap copy = CopyRegion(src, c.area);
        ASSERT_EQ(copy.Width(), c.area.Width());
        ASSERT_EQ(copy.Height(), c.area.Height());
        EXPECT_EQ(copy.GetColor(c.x, c.y), c.expected)
            << c.area.Left << "," << c.area.Top << " pixel " << c.x << "," << c.y;
    }
}

TEST(Region, DrawBackIsClippedToThePicture) {
    Bitmap target = Numbered();
    Bitmap white(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) white.SetColor(x, y, PackColor(255, 255, 255));
    DrawRegion(target, white, 3, -1);  // covers columns 3..5, rows -1..1
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool covered = x >= 3 && y <= 1;
            EXPECT_EQ(target.GetColor(x, y) == PackColor(255, 255, 255), covered) << x << "," << y;
        }
    EXPECT_EQ(target.Width(), 5);
    DrawRegion(target, white, -10, -10);  // nothing overlaps: no write, no crash
}

TEST(Rect, NormalizeOrdersCorners) {
    TRect r{10, 20, 5, 8};
    r.Normalize();
    EXPECT_EQ(r, (TRect{5, 8, 10, 20}));
    EXPECT_EQ(r.Width(), 6);
    EXPECT_EQ(r.Height(), 13);
}

TEST(Selection, WholePictureSpansEveryPixel) {
    EXPECT_EQ(WholePicture(Bitmap(5, 4)), (TRect{0, 0, 4, 3}));
    EXPECT_EQ(WholePicture(Bitmap(1, 1)), (TRect{0, 0, 0, 0}));
}

TEST(Selection, DragKeepsItsRectangleUnlessItSelectsNothing) {
    const Bitmap picture(5, 4);
    const TRect whole{0, 0, 4, 3};
    const struct {
        TRect drag;
        TRect expected;
    } cases[] = {
        {{1, 1, 2, 2}, {1, 1, 2, 2}},                                  // two by two: the smallest selection
        {{-3, -2, 9, 8}, {-3, -2, 9, 8}},                              // past the picture: kept, the frame clips it
        {{1, 1, 1, 3}, whole},                                         // one pixel wide
        {{1, 1, 3, 1}, whole},                                         // one pixel high
        {{3, 2, 1, 3}, whole},                                         // dragged to the left
        {{1, 3, 3, 1}, whole},                                         // dragged up
        {{INT32_MIN, 0, INT32_MAX, 3}, {INT32_MIN, 0, INT32_MAX, 3}},  // no overflow in the width
        {{INT32_MAX, 0, INT32_MIN, 3}, whole},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DragSelectsNothing(c.drag), c.expected == whole) << c.drag.Left << "," << c.drag.Top;
        EXPECT_EQ(SelectionAfterDrag(picture, c.drag), c.expected) << c.drag.Left << "," << c.drag.Top;
    }
}
