// Formula values: what parses, to what, and what fails without an error code.
#include "parser/Parser.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

namespace {

long double Evaluate(const std::string& formula, bool* failed = nullptr, int* position = nullptr) {
    TMathParser parser;
    parser.ParseString = formula;
    parser.Parse();
    if (failed) *failed = parser.ParseFailed();
    if (position) *position = parser.Position();
    return parser.ParseValue();
}

struct ValueCase {
    const char* Formula;
    long double Value;
};

// Within long double precision: powers go through e^(ln(b) × e) and lose a few units in the
// last place; a computation in double would be off by about 2000 of them.
bool Near(long double actual, long double expected) {
    return std::fabs(actual - expected) <= 32 * LDBL_EPSILON * std::fmax(1.0L, std::fabs(expected));
}

const ValueCase Values[] = {
    {"1+2*3", 7},
    {"(1+2)*3", 9},
    {"2^3^2", 512},  // right-associative
    {"2^3*2", 16},
    {"2*3^2", 18},
    {"8/2/2", 2},  // left-associative
    {"10-2-3", 5},
    {"2^-1", 0.5L},
    {"-(2^2)", -4},
    {"2*-3", -6},
    {"2--3", 5},
    {"-2*3", -6},
    {"- 2", -2},
    {"-SQRT(4)", -2},
    {"4^0.5", 2},
    {"255-187", 68},
    {"(200+13)/2*SQRT(49)", 745.5L},
    {"ROUND(100*SIN(0.5)+EXP(2))", 55},
    {"  7", 7},
    {".5", 0.5L},
    {"5.", 5},
    {"0.1", 0.1L},
    {"1e3", 1000},
    {"1E+3", 1000},
    {"1E-0003", 0.001L},
    {"1E4932", 1E4932L},
    {"SQRT(16)", 4},
    {"sqrt(16)", 4},
    {"SQR(3)", 9},
    {"ABS(-3)", 3},
    {"ATAN(1)*4", 3.14159265358979323846264338327950288L},
    {"COS(0)", 1},
    {"SIN(0)", 0},
    {"EXP(1)", 2.71828182845904523536028747135266250L},
    {"LN(EXP(2))", 2},
    {"ROUND(2.5)", 2},  // halves to even
    {"ROUND(3.5)", 4},
    {"ROUND(-2.5)", -2},
    {"ROUND(1e9)", 1e9L},
    {"TRUNC(-2.7)", -2},
    {"EXP(11356)", std::exp(11356.0L)},
    {"SQR(1E2466)", 1E2466L * 1E2466L},
    {"((((((((((((1))))))))))))", 1},  // twelve pairs: the most the stack holds
};

TEST(ParserTest, Values) {
    for (const ValueCase& c : Values) {
        bool failed = true;
        int position = 0;
        long double value = Evaluate(c.Formula, &failed, &position);
        EXPECT_FALSE(failed) << c.Formula;
        EXPECT_EQ(position, int(std::string(c.Formula).size()) + 1) << c.Formula;
        EXPECT_TRUE(Near(value, c.Value)) << c.Formula << " gave " << double(value);
    }
}

TEST(ParserTest, ExactValues) {
    // The number text converts exactly once, and integer arithmetic stays exact.
    EXPECT_EQ(Evaluate("0.1"), 0.1L);
    EXPECT_EQ(Evaluate("1E-0003"), 0.001L);
    EXPECT_EQ(Evaluate("123456789012345678901234567890"), 123456789012345678901234567890.0L);
    EXPECT_EQ(Evaluate("9007199254740993"), 9007199254740993.0L);  // not a double
    EXPECT_EQ(Evaluate("1/3"), 1.0L / 3.0L);
    // Long number texts convert in full, not cut to their first 80 characters.
    EXPECT_EQ(Evaluate("0." + std::string(90, '0') + "1"), 1e-91L);
    EXPECT_EQ(Evaluate("1" + std::string(99, '0')), 1e99L);
}

// Domain errors fail the parse without an error code, and the value is 0.
const char* const Failures[] = {
    "-2^2",  // the unary minus binds tighter: (-2)^2 has a negative base
    "0^0",         "(-8)^(1/3)",  "2^1E4000",  "EXP(11357)",  "EXP(-11357)", "SQRT(-1)", "LN(0)",
    "ROUND(1e10)", "TRUNC(1E10)", "SIN(1E19)", "SQR(1E2467)", "1/0",         "1/(1-1)",
    "1/0*0+1-1",  // the parse goes on after the error, the result is still dropped
    "!",           "1+!",         "(!",
};

TEST(ParserTest, DomainErrorsFailWithoutCode) {
    for (const char* formula : Failures) {
        TMathParser parser;
        parser.ParseString = formula;
        parser.Parse();
        EXPECT_TRUE(parser.ParseFailed()) << formula;
        EXPECT_TRUE(parser.MathError()) << formula;
        EXPECT_EQ(parser.ParseValue(), 0) << formula;
        EXPECT_EQ(parser.TokenError(), 0) << formula;
    }
}

TEST(ParserTest, ResultsOutsideTheRangeThrowOverflow) {
    for (const char* formula :
         {"1E4000*1E4000", "1E4932+1E4932", "-1E4932-1E4932", "1E4000/1E-4000", "SQR(1E2466)*10"}) {
        TMathParser parser;
        parser.ParseString = formula;
        try {
            parser.Parse();
            ADD_FAILURE() << formula << " did not throw";
        } catch (const EOverflow& error) {
            EXPECT_STREQ(error.what(), "Floating point overflow");
        }
        EXPECT_TRUE(parser.ParseFailed()) << formula;
        EXPECT_EQ(parser.ParseValue(), 0) << formula;
    }
}

TEST(ParserTest, VariablesComeFromOnGetVar) {
    TMathParser parser;
    std::string asked;
    parser.OnGetVar = [&](TMathParser& sender, const std::string& name, long double& value, bool& found) {
        EXPECT_EQ(&sender, &parser);
        EXPECT_FALSE(found);
        EXPECT_EQ(value, 0);
        asked += name + ",";
        if (name == "R") {
            value = 200;
            found = true;
        } else if (name == "green_channel_value_1") {  // longer than a short string
            value = 3;
            found = true;
        } else if (name == "Lazy") {
            found = true;  // no value set: 0
        }
    };
    struct Case {
        const char* Formula;
        bool Failed;
        long double Value;
        const char* Asked;
    };
    const Case cases[] = {
        {"R*2+1", false, 401, "R,"},
        {"-R", false, -200, "R,"},
        {"r", true, 0, "r,"},  // the name goes as written
        {"green_channel_value_1^2", false, 9, "green_channel_value_1,"},
        {"Lazy+1", false, 1, "Lazy,"},
        {"SINX", true, 0, "SINX,"},  // a whole identifier, not SIN
        {"sqrt2", true, 0, "sqrt2,"},
        {"SIN(R-R)", false, 0, "R,R,"},
    };
    for (const Case& c : cases) {
        asked.clear();
        parser.ParseString = c.Formula;
        parser.Parse();
        EXPECT_EQ(parser.ParseFailed(), c.Failed) << c.Formula;
        EXPECT_TRUE(Near(parser.ParseValue(), c.Value)) << c.Formula;
        EXPECT_EQ(asked, c.Asked) << c.Formula;
    }
}

TEST(ParserTest, NonFiniteVariablesFollowTheFloatingUnit) {
    TMathParser parser;
    parser.OnGetVar = [](TMathParser&, const std::string& name, long double& value, bool& found) {
        found = true;
        value = name == "INF" ? std::numeric_limits<long double>::infinity()
                              : std::numeric_limits<long double>::quiet_NaN();
    };
    parser.ParseString = "INF+1";
    parser.Parse();
    EXPECT_TRUE(std::isinf(parser.ParseValue()));
    parser.ParseString = "NAN*2";
    parser.Parse();
    EXPECT_TRUE(std::isnan(parser.ParseValue()));
    for (const char* formula : {"INF-INF", "INF*0", "INF/INF"}) {
        parser.ParseString = formula;
        EXPECT_THROW(parser.Parse(), EInvalidOp) << formula;
    }
    for (const char* formula : {"LN(NAN)", "SIN(INF)", "INF^0", "SQRT(NAN)"}) {
        parser.ParseString = formula;
        parser.Parse();
        EXPECT_TRUE(parser.ParseFailed()) << formula;
    }
}

}  // namespace
