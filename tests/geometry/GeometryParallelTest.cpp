// Resize and the turns in bands against their one-thread run, and Resize's progress and cancel.
#include <gtest/gtest.h>

#include <random>

#include "Geometry.h"
#include "Parallel.h"

namespace {

struct ThreadCount {
    explicit ThreadCount(int threads) { SetWorkerThreads(threads); }
    ~ThreadCount() { SetWorkerThreads(0); }
};

Bitmap Random(int width, int height, std::uint32_t seed) {
    Bitmap picture(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (std::size_t i = 0; i < picture.RowBytes(); ++i) picture.Row(y)[i] = std::uint8_t(random());
    return picture;
}

TEST(GeometryBands, ResizeAndTurnsEqualTheirOneThreadRun) {
    struct Size {
        int width, height;
    };
    const Size sources[] = {{131, 97}, {1, 300}, {300, 1}, {65, 200}};
    const Size targets[] = {{40, 33}, {262, 291}, {131, 97}, {1, 1}, {500, 70}};
    for (const Size& from : sources) {
        const Bitmap picture = Random(from.width, from.height, std::uint32_t(from.width * 7 + from.height));
        Bitmap oneLeft, oneRight;
        std::vector<Bitmap> oneResized;
        {
            ThreadCount threads(1);
            oneLeft = RotatePicture(picture, TurnDirection::Left);
            oneRight = RotatePicture(picture, TurnDirection::Right);
            for (const Size& to : targets) oneResized.push_back(ResizeNearest(picture, to.width, to.height));
        }
        const ProgressCallback keepGoing{[](std::int64_t, std::int64_t) { return true; }};
        for (int n : {2, 3}) {
            ThreadCount threads(n);
            EXPECT_EQ(RotatePicture(picture, TurnDirection::Left), oneLeft) << from.width << "x" << from.height;
            EXPECT_EQ(RotatePicture(picture, TurnDirection::Right), oneRight) << from.width << "x" << from.height;
            for (std::size_t i = 0; i < std::size(targets); ++i) {
                EXPECT_EQ(ResizeNearest(picture, targets[i].width, targets[i].height), oneResized[i]);
                EXPECT_EQ(ResizeNearest(picture, targets[i].width, targets[i].height, keepGoing), oneResized[i]);
            }
        }
    }
}

TEST(GeometryBands, ResizeReportsProgressAndCancels) {
    const Bitmap picture = Random(120, 90, 1);
    for (int n : {1, 2}) {
        ThreadCount threads(n);
        std::int64_t last = -1, total = 0;
        bool rising = true;
        ResizeNearest(picture, 300, 400, {[&](std::int64_t done, std::int64_t all) {
                          rising = rising && done > last;
                          last = done, total = all;
                          return true;
                      }});
        EXPECT_TRUE(rising);
        EXPECT_EQ(total, 400);
        EXPECT_EQ(last, 400);
        int reports = 0;
        EXPECT_THROW(ResizeNearest(picture, 300, 400, {[&](std::int64_t, std::int64_t) { return ++reports < 3; }}),
                     ECancelled);
        EXPECT_EQ(reports, 3);
    }
}

}  // namespace
