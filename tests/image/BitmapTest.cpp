// The picture type's copies and moves: a copy is equal and separate, a moved-from picture is
// empty (0 x 0), never a size without pixels.
#include "image/Bitmap.h"

#include <gtest/gtest.h>

#include <utility>

TEST(Bitmap, CopiesAreSeparateAndMovesLeaveAnEmptyPicture) {
    Bitmap original(3, 2);
    original.SetColor(2, 1, PackColor(1, 2, 3));
    Bitmap copy(original);
    EXPECT_EQ(copy, original);
    copy.SetColor(0, 0, PackColor(9, 9, 9));
    EXPECT_NE(copy, original);

    Bitmap moved(std::move(original));
    EXPECT_EQ(moved.GetColor(2, 1), PackColor(1, 2, 3));
    EXPECT_EQ(original.Width(), 0);
    EXPECT_EQ(original.Height(), 0);
    EXPECT_TRUE(original.Empty());

    Bitmap assigned(5, 5);
    assigned = std::move(moved);
    EXPECT_EQ(assigned.Width(), 3);
    EXPECT_EQ(assigned.GetColor(2, 1), PackColor(1, 2, 3));
    EXPECT_EQ(moved.Width(), 0);
    EXPECT_EQ(moved.Height(), 0);

    assigned = copy;
    EXPECT_EQ(assigned, copy);
    assigned.Clear();
    EXPECT_TRUE(assigned.Empty());
    EXPECT_EQ(assigned, Bitmap());
}
