#include "custom/CompiledFormula.h"

#include <gtest/gtest.h>

#include <random>
#include <typeinfo>

#include "../parser/RandomFormula.h"
#include "custom/CustomFilter.h"
#include "common/Errors.h"
#include "filters/Parallel.h"
#include "custom/PixelFormula.h"

namespace {

TEST(CompiledFormula, NamesStandAloneOnlyWhereTheNumberIsItsOwnToken) {
    struct Case {
        const char* formula;
        bool alone;
    };
    const Case cases[] = {
        {"R1+G1+B1", true}, {"(R1)", true},    {"-R1", true},     {"255-R1", true}, {"SQRT(B1)*16", true},
        {"2E1*R1", true},   {"R1^2E-1", true}, {"1+!R1", true},   {"x1+r1", true},  {"", true},
        {"R12", false},     {"1R1", false},    {"R1.5", false},   {".R1", false},   {"GR1", false},
        {"2E1R1", false},   {"2E-R1", false},  {"2e+G1", false},  {"R1_", false},   {"_B1", false},
        {"R1E2", false},    {"R1R1", false},   {"SQRTR1", false}, {"B1x", false},   {"G1+R1G1", false},
    };
    for (const Case& c : cases) EXPECT_EQ(NamesStandAlone(c.formula), c.alone) << c.formula;
}

// What one evaluation gives: the channel value, or the error thrown.
std::string Outcome(auto evaluate) {
    try {
        return std::to_string(int(evaluate()));
    } catch (const std::exception& error) {
        return typeid(error).name();
    }
}

// Thousands of random formulas over the whole grammar: where the names stand alone, the
// compiled formula gives the plain rule's value (or its error) on every pixel tried. Names
// are also glued to random neighbours, so the judgement of NamesStandAlone is tried too.
TEST(CompiledFormula, EqualsThePlainRuleOnRandomFormulas) {
    RandomFormula formulas(11, {"R1", "G1", "B1"});
    const std::string glue = "0123456789.EeRGB_+-*/^()! x";
    int compiled = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string formula = formulas.Next();
        if (round % 3 == 0) {
            const std::size_t at = formula.find('1');
            if (at != std::string::npos && at > 0)
                formula.insert(formulas.Below(2) ? at + 1 : at - 1, 1,
                               glue[formulas.Below(std::uint32_t(glue.size()))]);
        }
        if (!NamesStandAlone(formula)) continue;
        ++compiled;
        const TCompiledFormula program(formula);
        TPixelFormula plain(formula);
        for (int pixel = 0; pixel < 6; ++pixel) {
            const std::uint8_t r = std::uint8_t(formulas.Below(256)), g = std::uint8_t(formulas.Below(256)),
                               b = std::uint8_t(pixel == 0 ? 0 : formulas.Below(256));
            ASSERT_EQ(Outcome([&] { return program.Evaluate(r, g, b); }),
                      Outcome([&] { return plain.Evaluate(r, g, b); }))
                << formula << " at " << int(r) << "," << int(g) << "," << int(b);
        }
    }
    EXPECT_GT(compiled, 1400);
}

Bitmap Noisy(int width, int height, std::mt19937& random, int spread) {
    Bitmap picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetColor(x, y, PackColor(random() % spread, 255 - random() % spread, random() % spread * 7 % 256));
    return picture;
}

std::string Filtered(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas, bool plain) {
    try {
        plain ? PlainCustomFilter(picture, selection, formulas) : CustomFilter(picture, selection, formulas);
        return "";
    } catch (const std::exception& error) {
        return typeid(error).name();
    }
}

// The whole filter, compiled and textual formulas mixed, against the plain rule on random
// pictures and selections (some reaching outside the picture); small ones worked out pixel by
// pixel, larger ones (every fifth) through the tables by colour.
TEST(CompiledFormula, FilterEqualsThePlainRuleOnRandomPictures) {
    RandomFormula formulas(23, {"R1", "G1", "B1"});
    std::mt19937 random(5);
    const char* const textual[] = {"R10", "GR1+1", "B1.5*2", "2E1R1"};
    for (int round = 0; round < 40; ++round) {
        const bool large = round % 8 == 0;
        Bitmap picture = Noisy(large ? 66 : 11 + round % 4, large ? 63 : 7 + round % 3, random, round % 2 ? 256 : 5);
        TFilterFormulas f{formulas.Next(), formulas.Next(), round % 4 == 0 ? textual[round / 4 % 4] : formulas.Next()};
        const TRect selection{int(random() % 3) - 1, int(random() % 3), picture.Width() - int(random() % 3),
                              picture.Height() - 1 + int(random() % 2)};
        Bitmap fast = picture, plain = picture;
        const std::string fastError = Filtered(fast, selection, f, false),
                          plainError = Filtered(plain, selection, f, true);
        EXPECT_EQ(fastError, plainError) << f.Red << " ; " << f.Green << " ; " << f.Blue;
        EXPECT_EQ(fast, plain) << f.Red << " ; " << f.Green << " ; " << f.Blue;
        if (!fastError.empty()) {
            EXPECT_EQ(fast, picture);
        }
    }
}

// Restores the default thread count when a test ends.
struct ThreadCount {
    explicit ThreadCount(int threads) { SetWorkerThreads(threads); }
    ~ThreadCount() { SetWorkerThreads(0); }
};

TEST(CustomFilterBands, EveryThreadCountGivesTheOneThreadResult) {
    std::mt19937 random(9);
    const Bitmap picture = Noisy(173, 131, random, 256);
    const TFilterFormulas cases[] = {{"(R1+G1+B1)/3", "255-R1", "SQRT(B1)*16"},
                                     {"R1*G1/(B1+1)", "LN(G1)*40", "R10/4"},  // the last one through the text
                                     {"1E4930*R1*R1", "G1", "B1"}};           // overflows
    const TRect selections[] = {{0, 0, 172, 130}, {5, 9, 120, 100}, {-3, 100, 180, 140}};
    for (const TFilterFormulas& formulas : cases)
        for (const TRect& selection : selections) {
            Bitmap one = picture;
            std::string oneError;
            {
                ThreadCount threads(1);
                oneError = Filtered(one, selection, formulas, false);
            }
            for (int n : {2, 3}) {
                ThreadCount threads(n);
                Bitmap many = picture;
                EXPECT_EQ(Filtered(many, selection, formulas, false), oneError) << formulas.Red;
                EXPECT_EQ(many, one) << formulas.Red << " on " << n << " threads";
            }
        }
}

TEST(CustomFilterBands, ReportsProgressAndCancelsBeforeWriting) {
    std::mt19937 random(4);
    const Bitmap picture = Noisy(90, 200, random, 256);
    const TRect all{0, 0, 89, 199};
    const TFilterFormulas formulas{"(R1+G1+B1)/3", "255-G1", "B1/2"};
    for (int threads : {1, 2}) {
        ThreadCount count(threads);
        std::int64_t last = 0, total = 0;
        int calls = 0;
        bool rising = true;
        Bitmap done = picture, expected = picture;
        CustomFilter(expected, all, formulas);
        CustomFilter(done, all, formulas, {[&](std::int64_t d, std::int64_t t) {
                         rising = rising && d >= last;
                         last = d, total = t, ++calls;
                         return true;
                     }});
        EXPECT_EQ(done, expected);
        EXPECT_TRUE(rising);
        EXPECT_GT(calls, 2);
        EXPECT_EQ(last, total);

        Bitmap cancelled = picture;
        int reports = 0;
        EXPECT_THROW(
            CustomFilter(cancelled, all, formulas, {[&](std::int64_t, std::int64_t) { return ++reports < 2; }}),
            ECancelled);
        EXPECT_EQ(cancelled, picture);
        EXPECT_EQ(reports, 2);  // none after the cancel
    }
}

}  // namespace
