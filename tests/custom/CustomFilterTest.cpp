#include "custom/CustomFilter.h"

#include <gtest/gtest.h>

#include <random>

#include "common/Errors.h"
#include "custom/PixelFormula.h"

namespace {

// 6 x 5, no symmetry: every pixel's channels differ, so swaps, flips and shifts show.
Bitmap Letter() {
    Bitmap picture(6, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) picture.SetColor(x, y, PackColor(x * 40 + y, 250 - y * 50 - x, x * y * 12 + 3));
    return picture;
}

TRect All(const Bitmap& picture) { return {0, 0, picture.Width() - 1, picture.Height() - 1}; }

using FilterRun = void (*)(Bitmap&, const TRect&, const TFilterFormulas&);
const FilterRun BothRules[] = {[](Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas) {
                                   CustomFilter(picture, selection, formulas);
                               },
                               [](Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas) {
                                   PlainCustomFilter(picture, selection, formulas);
                               }};

// The formulas on a single pixel of old colour (r, g, b), both ways; expects them to agree.
PackedColor OnePixel(std::uint8_t r, std::uint8_t g, std::uint8_t b, const TFilterFormulas& formulas) {
    Bitmap fast(1, 1), plain(1, 1);
    fast.SetColor(0, 0, PackColor(r, g, b));
    plain.SetColor(0, 0, PackColor(r, g, b));
    CustomFilter(fast, {0, 0, 0, 0}, formulas);
    PlainCustomFilter(plain, {0, 0, 0, 0}, formulas);
    EXPECT_EQ(fast.GetColor(0, 0), plain.GetColor(0, 0));
    return fast.GetColor(0, 0);
}

struct SubstitutionCase {
    const char* formula;
    std::uint8_t r, g, b;
    const char* text;
};
const SubstitutionCase SubstitutionCases[] = {
    {"R1+G1+B1", 0, 7, 255, "0+7+255"},
    {"R10", 3, 0, 0, "30"},
    {"r1+g1", 3, 4, 5, "r1+g1"},
    {"R1R1", 12, 0, 0, "1212"},
    {"RR11", 5, 0, 0, "R51"},
    {"GR1", 15, 99, 0, "995"},  // "G15": the red text forms a green name
    {"GR1", 25, 99, 0, "G25"},
    {"BGR1", 1, 17, 42, "427"},  // "BG1" then "B17"
    {"GG1", 15, 0, 0, "G0"},
    {"GG1", 0, 15, 0, "G15"},  // the green pass does not see its own output again
};

struct ChannelCase {
    const char* formula;
    std::uint8_t r, g, b;
    std::uint8_t expected;
};
// The pixel rule's edge cases, on the red formula.
// clang-format off
const ChannelCase ChannelCases[] = {
    {"R1/2",      5,   0, 0, 2},    // 2.5 goes to the even neighbour
    {"R1/2",      7,   0, 0, 4},    // 3.5 too
    {"R1*10",     200, 0, 0, 255},
    {"R1-300",    200, 0, 0, 0},
    {"EXP(100)",  0,   0, 0, 255},  // far beyond any integer: still 255
    {"-EXP(100)", 9,   0, 0, 0},
    {"R10",       3,   0, 0, 30},
    {"r1",        77,  0, 0, 0},    // not a channel name: an unknown name gives 0
    {"R1/0",      77,  0, 0, 0},    // this and the next two give no number: 0
    {"SQRT(-1)",  77,  0, 0, 0},
    {"R1+",       77,  0, 0, 0},
    {"254.5",     0,   0, 0, 254},
    {"255.5",     0,   0, 0, 255},
    {"-0.4",      0,   0, 0, 0},
    {"0.5",       0,   0, 0, 0},
    {"1.5",       0,   0, 0, 2},
    {"G1",        1,   2, 3, 2},
    {"B1",        1,   2, 3, 3},
};
// clang-format on

}  // namespace

TEST(CustomFilterRule, SubstitutesNamesInOrderAsText) {
    std::string text;
    for (const SubstitutionCase& c : SubstitutionCases) {
        SubstituteChannels(c.formula, c.r, c.g, c.b, text);
        EXPECT_EQ(text, c.text) << c.formula;
    }
}

TEST(CustomFilterRule, RoundsHalvesToEvenAndClamps) {
    for (const ChannelCase& c : ChannelCases)
        EXPECT_EQ(RedOf(OnePixel(c.r, c.g, c.b, {c.formula, "0", "0"})), c.expected) << c.formula;
}

TEST(CustomFilterRule, EveryFormulaReadsTheOldPixel) {
    // Swapped red and green: the green formula must see the old red, not the new one.
    EXPECT_EQ(OnePixel(10, 20, 30, {"G1", "R1", "B1"}), PackColor(20, 10, 30));
    EXPECT_EQ(OnePixel(10, 20, 30, {"B1", "R1", "G1"}), PackColor(30, 10, 20));
}

TEST(CustomFilter, IdentityAndInversionOverTheSelection) {
    const Bitmap original = Letter();
    Bitmap picture = original;
    CustomFilter(picture, All(picture), {"R1", "G1", "B1"});
    EXPECT_EQ(picture, original);

    // A selection partly outside the picture: inside it inverted, the rest untouched.
    CustomFilter(picture, {2, 1, 9, 3}, {"255-R1", "255-G1", "255-B1"});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const PackedColor old = original.GetColor(x, y);
            const bool inside = x >= 2 && y >= 1 && y <= 3;
            const PackedColor expected =
                inside ? PackColor(255 - RedOf(old), 255 - GreenOf(old), 255 - BlueOf(old)) : old;
            EXPECT_EQ(picture.GetColor(x, y), expected) << x << "," << y;
        }
}

TEST(CustomFilter, OverflowLeavesThePictureUnchanged) {
    // The green formula overflows once a pixel's red is non-zero; only the last pixel's is.
    Bitmap picture(4, 3);
    picture.SetColor(3, 2, PackColor(1, 0, 0));
    const Bitmap original = picture;
    for (FilterRun run : BothRules) {
        EXPECT_THROW(run(picture, All(picture), {"255-R1", "1E4000*R1*1E4000", "B1+9"}), EOverflow);
        EXPECT_EQ(picture, original);
    }
    // Black everywhere: nothing overflows, and the green formula gives 0.
    picture.SetColor(3, 2, PackColor(0, 0, 0));
    CustomFilter(picture, All(picture), {"255-R1", "1E4000*R1*1E4000", "B1+9"});
    EXPECT_EQ(picture.GetColor(1, 1), PackColor(255, 0, 9));
}

TEST(CustomFilter, OverflowOnTheBlackOutsideThePictureStopsTheRun) {
    // The part of a selection outside the picture reads as black, and the rule runs there
    // too: this formula overflows on black only.
    Bitmap picture(2, 2);
    for (int i = 0; i < 4; ++i) picture.SetColor(i % 2, i / 2, PackColor(9, 9, 9));
    const Bitmap original = picture;
    const TFilterFormulas formulas{"0", "0", "1E4932/(R1+1)*10"};
    for (FilterRun run : BothRules) {
        EXPECT_THROW(run(picture, {0, 0, 2, 1}, formulas), EOverflow);
        EXPECT_EQ(picture, original);
    }
    CustomFilter(picture, {0, 0, 1, 1}, formulas);
    EXPECT_EQ(picture.GetColor(1, 1), PackColor(0, 0, 255));
}

TEST(CustomFilter, ChannelsAFormulaCanDependOn) {
    EXPECT_EQ(ChannelsOf("255-R1"), unsigned(RedChannel));
    EXPECT_EQ(ChannelsOf("SQRT(B1)*16"), unsigned(BlueChannel));
    EXPECT_EQ(ChannelsOf("(R1+G1+B1)/3"), unsigned(RedChannel | GreenChannel | BlueChannel));
    EXPECT_EQ(ChannelsOf("r1+100"), unsigned(NoChannel));
    EXPECT_EQ(ChannelsOf("GR1"), unsigned(RedChannel | GreenChannel));
    EXPECT_EQ(ChannelsOf("BGR1"), unsigned(RedChannel | GreenChannel | BlueChannel));
    EXPECT_EQ(ChannelsOf("BR1"), unsigned(RedChannel | BlueChannel));
}

// The remembered results against the plain rule, on random pictures and formulas built from
// pieces that touch the rule's corners: names glued to digits and letters, names that a
// replacement forms, domain errors, halves, large and negative results.
TEST(CustomFilter, RememberedResultsEqualThePlainRule) {
    const char* operands[] = {"R1",          "G1",         "B1",     "R10",         "G1.5",        "B1E1",
                              "GR1",         "BGR1",       "BR1",    "r1",          "2",           "0.5",
                              "255",         "SQRT(G1)",   "LN(B1)", "EXP(R1/40)",  "ROUND(R1/2)", "(B1-G1)",
                              "SIN(R1)*300", "ABS(G1-R1)", "R1^2",   "TRUNC(B1/3)", "R1R1",        "1E3",
                              "1E4930*G1*G1"};  // overflows once green reaches 11
    const char* operators[] = {"+", "-", "*", "/", "^", ""};
    std::mt19937 random(20240607);
    auto pick = [&](auto& list) { return list[random() % std::size(list)]; };
    auto formula = [&] {
        std::string text = pick(operands);
        for (int n = random() % 4; n > 0; --n) text += std::string(pick(operators)) + pick(operands);
        return text;
    };

    for (int round = 0; round < 60; ++round) {
        // Few distinct values per channel, so the tables are hit as well as filled.
        Bitmap picture(17 + round % 5, 9 + round % 7);
        const int spread = round % 2 ? 256 : 6;
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x)
                picture.SetColor(x, y,
                                 PackColor(random() % spread * (256 / spread) + random() % 2, random() % spread,
                                           255 - random() % spread));
        const TFilterFormulas formulas{formula(), formula(), formula()};
        const TRect selection{int(random() % 4) - 1, int(random() % 3), picture.Width() - int(random() % 3),
                              picture.Height() - 1};
        Bitmap fast = picture, plain = picture;
        bool fastThrew = false, plainThrew = false;
        try {
            CustomFilter(fast, selection, formulas);
        } catch (const EMathError&) {
            fastThrew = true;
        }
        try {
            PlainCustomFilter(plain, selection, formulas);
        } catch (const EMathError&) {
            plainThrew = true;
        }
        EXPECT_EQ(fastThrew, plainThrew) << formulas.Red << " ; " << formulas.Green << " ; " << formulas.Blue;
        EXPECT_EQ(fast, plain) << formulas.Red << " ; " << formulas.Green << " ; " << formulas.Blue;
    }
}
