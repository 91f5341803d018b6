#include <gtest/gtest.h>

#include "CommandSupport.h"
#include "PictureSupport.h"
#include "filters/PointFilters.h"

namespace {
struct ColourCase {
    const char* command;
    Rgb in, out;
};

const ColourCase colourCases[] = {
    {"brightness-increase", {240, 100, 0}, {255, 125, 25}},
    {"brightness-decrease", {10, 30, 255}, {0, 5, 230}},
    {"red-decrease", {20, 20, 20}, {0, 20, 20}},
    {"red-increase", {20, 240, 20}, {45, 240, 20}},
    {"green-increase", {20, 240, 20}, {20, 255, 20}},
    {"green-decrease", {20, 10, 20}, {20, 0, 20}},
    {"blue-increase", {1, 2, 3}, {1, 2, 28}},
    {"blue-decrease", {1, 2, 30}, {1, 2, 5}},
    {"black-and-white", {128, 128, 128}, {255, 255, 255}},
    {"black-and-white", {127, 128, 128}, {0, 0, 0}},
    {"black-and-white", {255, 0, 130}, {255, 255, 255}},
    {"grayscale", {255, 0, 0}, {85, 85, 85}},
    {"grayscale", {2, 2, 1}, {1, 1, 1}},
    {"invert-all", {10, 20, 30}, {245, 235, 225}},
    {"invert-red", {10, 20, 30}, {245, 20, 30}},
    {"invert-green", {10, 20, 30}, {10, 235, 30}},
    {"invert-blue", {10, 20, 30}, {10, 20, 225}},
    {"swap-channels", {10, 20, 30}, {30, 10, 20}},
    {"sepia", {90, 90, 90}, {115, 90, 65}},
    {"sepia", {255, 255, 255}, {255, 255, 230}},
    {"sepia", {0, 0, 0}, {25, 0, 0}},
};
}  // namespace

TEST(PointFilters, WorkedColours) {
    for (const ColourCase& c : colourCases) {
        Bitmap picture = Filled(3, 2, c.in);
        RunNamed(picture, c.command);
        EXPECT_EQ(At(picture, 2, 1), c.out) << c.command << " on " << c.in;
    }
}

TEST(PointFilters, InvertTwiceAndSwapThriceRestore) {
    const Bitmap before = Asymmetric(7, 5);
    const TRect all{0, 0, 6, 4};
    Bitmap picture = before;
    Invert(picture, all, ChannelSelector::All);
    EXPECT_NE(FirstDifference(before, picture), "");
    Invert(picture, all, ChannelSelector::All);
    EXPECT_EQ(FirstDifference(before, picture), "");
    for (int i = 0; i < 3; ++i) SwapChannels(picture, all);
    EXPECT_EQ(FirstDifference(before, picture), "");
}

TEST(PointFilters, AmountsBeyondTheByteRangeClamp) {
    Bitmap picture = Filled(2, 2, {10, 200, 128});
    AdjustChannels(picture, {0, 0, 1, 1}, INT32_MAX, INT32_MIN, 1000);
    EXPECT_EQ(At(picture, 1, 1), (Rgb{255, 0, 255}));
}
