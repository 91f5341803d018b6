#include "geometry/Geometry.h"

#include <gtest/gtest.h>

#include <random>

namespace {
// Every pixel distinct: red x, green y, blue a hash of both.
Bitmap Numbered(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetColor(x, y, PackColor(x, y, (x * 31 + y * 17) & 255));
    return b;
}

// The turn as written pixel by pixel, to check the tiled version against.
Bitmap PlainTurn(const Bitmap& in, TurnDirection d) {
    Bitmap out(in.Height(), in.Width());
    for (int x = 0; x < in.Width(); ++x)
        for (int y = 0; y < in.Height(); ++y) {
            if (d == TurnDirection::Right)
                out.SetColor(in.Height() - 1 - y, x, in.GetColor(x, y));
            else
                out.SetColor(y, in.Width() - 1 - x, in.GetColor(x, y));
        }
    return out;
}
}  // namespace

TEST(Rotate, ThreeByTwoCorners) {
    const Bitmap b = Numbered(3, 2);
    const Bitmap right = RotatePicture(b, TurnDirection::Right);
    ASSERT_EQ(right.Width(), 2);
    ASSERT_EQ(right.Height(), 3);
    EXPECT_EQ(right.GetColor(1, 0), b.GetColor(0, 0));  // top-left goes to top-right
    EXPECT_EQ(right.GetColor(0, 0), b.GetColor(0, 1));
    EXPECT_EQ(right.GetColor(0, 2), b.GetColor(2, 1));
    const Bitmap left = RotatePicture(b, TurnDirection::Left);
    EXPECT_EQ(left.GetColor(0, 2), b.GetColor(0, 0));  // top-left goes to bottom-left
    EXPECT_EQ(left.GetColor(0, 0), b.GetColor(2, 0));
    EXPECT_EQ(left.GetColor(1, 0), b.GetColor(2, 1));
}

TEST(Rotate, MatchesThePlainMappingAcrossTileEdges) {
    for (auto [w, h] : {std::pair{1, 1}, {1, 7}, {7, 1}, {64, 64}, {65, 130}, {200, 63}, {129, 257}}) {
        const Bitmap b = Numbered(w, h);
        for (TurnDirection d : {TurnDirection::Left, TurnDirection::Right})
            EXPECT_EQ(RotatePicture(b, d), PlainTurn(b, d)) << w << "x" << h;
    }
}

TEST(Rotate, FourTurnsAndLeftThenRightGiveBackThePicture) {
    const Bitmap b = Numbered(37, 11);
    Bitmap r = b;
    for (int i = 0; i < 4; ++i) r = RotatePicture(r, TurnDirection::Right);
    EXPECT_EQ(r, b);
    for (int i = 0; i < 4; ++i) r = RotatePicture(r, TurnDirection::Left);
    EXPECT_EQ(r, b);
    EXPECT_EQ(RotatePicture(RotatePicture(b, TurnDirection::Left), TurnDirection::Right), b);
}

TEST(Resize, SamplesTheCentreOfEachFootprint) {
    struct Case {
        int size, newSize;
        std::vector<int> sources;
    } cases[] = {
        {4, 2, {1, 3}},                                                    // halving takes the second of each pair
        {2, 4, {0, 0, 1, 1}},                                              // doubling repeats each pixel twice
        {3, 2, {0, 2}},       {2, 3, {0, 1, 1}}, {5, 5, {0, 1, 2, 3, 4}},  // same size: identity
        {1, 3, {0, 0, 0}},    {10, 1, {5}},
    };
    for (const Case& c : cases)
        for (int x = 0; x < c.newSize; ++x)
            EXPECT_EQ(NearestSource(x, c.size, c.newSize), c.sources[x]) << c.size << "->" << c.newSize;
}

TEST(Resize, MatchesPerPixelSampling) {
    std::mt19937 random(7);
    for (auto [w, h, nw, nh] :
         {std::array{13, 7, 40, 9}, {40, 30, 7, 13}, {1, 1, 5, 3}, {17, 17, 17, 17}, {3, 2, 12, 8}, {64, 2, 1, 1}}) {
        Bitmap b(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) b.SetColor(x, y, random() & 0xffffff);
        const Bitmap r = ResizeNearest(b, nw, nh);
        ASSERT_EQ(r.Width(), nw);
        ASSERT_EQ(r.Height(), nh);
        for (int y = 0; y < nh; ++y)
            for (int x = 0; x < nw; ++x)
                ASSERT_EQ(r.GetColor(x, y), b.GetColor(NearestSource(x, w, nw), NearestSource(y, h, nh)));
    }
}
