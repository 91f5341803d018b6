#include <gtest/gtest.h>

#include "PictureSupport.h"
#include "filters/ToneFilters.h"

namespace {
// The value a tone routine gives to v in all three channels.
template <class Routine>
int Curve(int v, Routine routine) {
    Bitmap picture = Filled(2, 2, {v, v, v});
    routine(picture, TRect{0, 0, 1, 1});
    return At(picture, 1, 1).R;
}
}  // namespace

TEST(ToneFilters, ContrastValues) {
    const struct {
        ContrastStep step;
        int in, out;
    } cases[] = {
        {ContrastStep::Increase, 63, 0},    {ContrastStep::Increase, 64, 0},    {ContrastStep::Increase, 65, 2},
        {ContrastStep::Increase, 128, 128}, {ContrastStep::Increase, 191, 254}, {ContrastStep::Increase, 192, 255},
        {ContrastStep::Decrease, 0, 64},    {ContrastStep::Decrease, 1, 64},    {ContrastStep::Decrease, 127, 127},
        {ContrastStep::Decrease, 255, 191},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Curve(c.in, [&](Bitmap& p, const TRect& s) { Contrast(p, s, c.step); }), c.out)
            << int(c.step) << " " << c.in;
}

TEST(ToneFilters, LogaritmizeValues) {
    const struct {
        int in, out;
    } cases[] = {{0, 0}, {1, 32}, {9, 106}, {99, 212}, {127, 223}, {128, 223}, {254, 255}, {255, 255}};
    for (const auto& c : cases)
        EXPECT_EQ(Curve(c.in, [](Bitmap& p, const TRect& s) { Logaritmize(p, s, ChannelSelector::All); }), c.out)
            << c.in;
}

TEST(ToneFilters, LogaritmizeChangesOnlyTheChosenChannel) {
    const struct {
        ChannelSelector channels;
        Rgb out;
    } cases[] = {{ChannelSelector::Red, {106, 9, 99}},
                 {ChannelSelector::Green, {9, 106, 99}},
                 {ChannelSelector::Blue, {9, 9, 212}}};
    for (const auto& c : cases) {
        Bitmap picture = Filled(3, 3, {9, 9, 99});
        Logaritmize(picture, {0, 0, 2, 2}, c.channels);
        EXPECT_EQ(At(picture, 1, 2), c.out);
    }
}

TEST(ToneFilters, OptimizeStretchesEachChannelOnItsOwn) {
    // Red spans 50..150, green already 0..255, blue 10..20.
    Bitmap picture = Filled(3, 2, {100, 128, 15});
    Put(picture, 0, 0, {50, 0, 10});
    Put(picture, 2, 1, {150, 255, 20});
    Optimize(picture, {0, 0, 2, 1});
    EXPECT_EQ(At(picture, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(At(picture, 2, 1), (Rgb{255, 255, 255}));
    // Red: 100 * 2.55 - 127.5 in doubles lands just below 127.5. Blue: 15 * 25.5 - 255 is
    // exactly 127.5 and rounds to the even 128.
    EXPECT_EQ(At(picture, 1, 0), (Rgb{127, 128, 128}));
}

TEST(ToneFilters, OptimizeLeavesFlatChannelsAndStretchesTheOthers) {
    Bitmap picture = Filled(3, 3, {255, 0, 40});
    Put(picture, 1, 1, {200, 0, 40});
    Optimize(picture, {0, 0, 2, 2});
    EXPECT_EQ(At(picture, 1, 1), (Rgb{0, 0, 40}));
    EXPECT_EQ(At(picture, 0, 0), (Rgb{255, 0, 40}));

    const Bitmap flat = Filled(3, 3, {255, 0, 0});
    picture = flat;
    EXPECT_NO_THROW(Optimize(picture, {0, 0, 2, 2}));
    EXPECT_EQ(FirstDifference(flat, picture), "");
}

TEST(ToneFilters, OptimizeCountsTheSelectionOutsideThePictureAsBlack) {
    Bitmap picture = Filled(2, 2, {150, 150, 150});
    Put(picture, 0, 0, {50, 50, 50});
    Optimize(picture, {-1, 0, 1, 1});  // column -1 is black: the range is 0..150
    EXPECT_EQ(At(picture, 0, 0), (Rgb{85, 85, 85}));
    EXPECT_EQ(At(picture, 1, 1), (Rgb{255, 255, 255}));
}
