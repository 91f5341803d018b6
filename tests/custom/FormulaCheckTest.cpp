#include "custom/FormulaCheck.h"

#include <gtest/gtest.h>

namespace {
struct CheckCase {
    const char* formula;
    const char* message;  // nullptr: no syntax error
};

const CheckCase CheckCases[] = {
    // Sound formulas, domain errors included: those give 0 at the pixel, as before.
    {"255-R1", nullptr},
    {"(R1+G1+B1)/3", nullptr},
    {"SQRT(B1)*16", nullptr},
    {"R1/0", nullptr},
    {"SQRT(-1)", nullptr},
    {"R10", nullptr},
    {"R1.5", nullptr},
    {"!", nullptr},
    // Each code, positions counted in the formula as written.
    {"(R1+2", "Red formula: an operator or ) is expected at position 6."},
    {"(R1+G1", "Red formula: an operator or ) is expected at position 7."},
    {"R1+2)", "Red formula: an operator or the end of the formula is expected at position 5."},
    {"R1G1", nullptr},  // one number once replaced
    {"R1(G1)", "Red formula: an operator or the end of the formula is expected at position 3."},
    {"SQRT R1", "Red formula: ( is expected after the function name at position 6."},
    {"R1*", "Red formula: a number, R1, G1, B1, a function or ( is expected at position 4."},
    {"", "Red formula: a number, R1, G1, B1, a function or ( is expected at position 1."},
    {"2*#", "Red formula: a number, R1, G1, B1, a function or ( is expected at position 3."},
    {"R1E+", "Red formula: a number is not written correctly at position 5."},
    {"((((((((((((((R1))))))))))))))", "Red formula: the formula is nested too deeply at position 17."},
    // Unknown names, which the parser passes over, are named with where they start.
    {"r1", "Red formula: \"r1\" is not a known name at position 1."},
    {"255-XR1", "Red formula: \"XR1\" is not a known name at position 5."},
};
}  // namespace

TEST(FormulaCheck, ReportsEachKindOfSyntaxError) {
    for (const CheckCase& c : CheckCases) {
        const std::optional<std::string> error = FormulaSyntaxError("Red", c.formula);
        if (c.message)
            EXPECT_EQ(error.value_or("(none)"), c.message) << c.formula;
        else
            EXPECT_FALSE(error) << c.formula << ": " << *error;
    }
}

TEST(FormulaCheck, OverflowInTheTrialIsLeftToTheRun) { EXPECT_FALSE(FormulaSyntaxError("Red", "1E4000*1E4000")); }

TEST(FormulaCheck, NamesTheFirstFailingChannel) {
    EXPECT_FALSE(FormulasSyntaxError({"R1", "G1", "B1"}));
    EXPECT_EQ(FormulasSyntaxError({"R1", "G1+", "B1)"}).value_or(""),
              "Green formula: a number, R1, G1, B1, a function or ( is expected at position 4.");
    EXPECT_EQ(FormulasSyntaxError({"R1", "G1", "B1)"}).value_or(""),
              "Blue formula: an operator or the end of the formula is expected at position 3.");
    try {
        RequireValidFormulas({"R1", "G1", "2E"});
        ADD_FAILURE() << "no error";
    } catch (const EFormulaSyntax& error) {
        EXPECT_STREQ(error.what(), "Blue formula: a number is not written correctly at position 3.");
    }
}
