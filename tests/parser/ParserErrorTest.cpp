// Syntax errors: the code and the position after the parse, and OnParseError.
#include "parser/Parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ErrorCase {
    std::string Formula;
    int Code;
    int Position;
};

std::string Nested(int pairs) { return std::string(pairs, '(') + "1" + std::string(pairs, ')'); }

const ErrorCase Errors[] = {
    // 3: an operand was expected; at the offending token, after an unknown name.
    {"", 3, 1},
    {"   ", 3, 4},
    {"2*", 3, 3},
    {"()", 3, 2},
    {"--3", 3, 2},  // one unary minus at most
    {"-+3", 3, 2},
    {"+3", 3, 1},
    {"2^--1", 3, 4},
    {"2*+3", 3, 3},
    {"-!", 3, 2},
    {"\t7", 3, 1},  // only spaces are skipped
    {"X", 3, 2},    // no variable handler: unknown, position after it
    {"1+X", 3, 4},
    {"SINX(1)", 3, 5},
    {"sqrt2", 3, 6},
    {"_a", 3, 1},  // a name cannot begin with "_"
    {".", 3, 1},
    {"#", 3, 1},
    {"1+#", 3, 3},
    // 4: top level, an operand followed by something other than an operator or the end.
    {"1+2)", 4, 4},
    {"3 4", 4, 3},
    {"1!", 4, 2},
    {"1.2.3", 4, 4},    // 1.2 then .3
    {"1E12345", 4, 7},  // four exponent digits, then 5
    {"1 (", 4, 3},
    {"2 SIN(1)", 4, 3},
    {"1 . 2", 4, 3},
    {"1 #", 4, 3},
    {"0x10", 4, 5},  // 0, then the unknown name x10
    // 5: a function name without "(".
    {"SQRT 16", 5, 6},
    {"SIN", 5, 4},
    {"SIN+1", 5, 4},
    {"cos cos(1)", 5, 5},
    // 6: inside parentheses, an operand followed by something other than an operator or ")".
    {"(1+2", 6, 5},
    {"SIN(1", 6, 6},
    {"(1 2)", 6, 4},
    {"(1!", 6, 3},
    {"SQRT(-1", 6, 8},
    {"((1)", 6, 5},
    // 7: a number that does not convert; at its failing character.
    {"2E", 7, 3},
    {"1E+", 7, 4},
    {"2EXP(1)", 7, 3},
    {".5E", 7, 4},
    {"1+2e-", 7, 6},
    {"1E5000", 7, 1},  // beyond the range
    {"1+1E5000", 7, 3},
    // 1: stack full, after the last token scanned.
    {Nested(13), 1, 16},
    {"1+(1+(1+(1+(1+(1+(1+1))))))", 1, 16},
};

TEST(ParserErrorTest, CodesAndPositions) {
    for (const ErrorCase& c : Errors) {
        TMathParser parser;
        std::vector<int> reported;
        parser.OnParseError = [&](TMathParser& sender, int code) {
            EXPECT_EQ(&sender, &parser);
            reported.push_back(code);
        };
        parser.ParseString = c.Formula;
        parser.Parse();
        EXPECT_EQ(parser.TokenError(), c.Code) << '"' << c.Formula << '"';
        EXPECT_EQ(parser.Position(), c.Position) << '"' << c.Formula << '"';
        EXPECT_TRUE(parser.ParseFailed()) << '"' << c.Formula << '"';
        EXPECT_EQ(parser.ParseValue(), 0) << '"' << c.Formula << '"';
        EXPECT_EQ(reported, std::vector<int>{c.Code}) << '"' << c.Formula << '"';
    }
}

TEST(ParserErrorTest, TwelvePairsOfParenthesesFitThirteenDoNot) {
    TMathParser parser;
    parser.ParseString = Nested(12);
    parser.Parse();
    EXPECT_FALSE(parser.ParseFailed());
    EXPECT_EQ(parser.ParseValue(), 1);
    parser.ParseString = Nested(13);
    parser.Parse();
    EXPECT_EQ(parser.TokenError(), 1);
}

TEST(ParserErrorTest, OnParseErrorOnlyForCodes) {
    TMathParser parser;
    int calls = 0;
    parser.OnParseError = [&](TMathParser&, int) { ++calls; };
    for (const char* formula : {"1/0", "!", "SQRT(-1)", "2+2"}) {
        parser.ParseString = formula;
        parser.Parse();
    }
    EXPECT_EQ(calls, 0);
}

}  // namespace
