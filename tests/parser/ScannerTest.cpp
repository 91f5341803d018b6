// The scanner on its own: token kinds, lengths, positions and values.
#include "parser/Parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Scanned {
    TToken Kind;
    int Length;             // TokenLength after the call
    int Position;           // Position after the call
    long double Value = 0;  // for numbers
};

bool operator==(const Scanned& a, const Scanned& b) {
    return a.Kind == b.Kind && a.Length == b.Length && a.Position == b.Position &&
           (a.Kind != tkNumber || a.Value == b.Value);
}

std::ostream& operator<<(std::ostream& out, const Scanned& s) {
    return out << "{kind " << int(s.Kind) << ", length " << s.Length << ", position " << s.Position << ", value "
               << double(s.Value) << "}";
}

// Scans up to and including the end, a bad token or an error mark.
std::vector<Scanned> ScanAll(const std::string& text) {
    TMathParser parser;
    parser.ParseString = text;
    std::vector<Scanned> tokens;
    for (;;) {
        TToken kind = parser.NextToken();
        tokens.push_back({kind, parser.TokenLength(), parser.Position(), parser.CurrToken().Value});
        if (kind == tkEnd || kind == tkBad || kind == tkErrorMark) return tokens;
    }
}

struct ScanCase {
    const char* Text;
    std::vector<Scanned> Tokens;
};

const ScanCase Cases[] = {
    {"  7", {{tkNumber, 1, 4, 7}, {tkEnd, 0, 4}}},
    {"\t7", {{tkBad, 0, 1}}},
    {"", {{tkEnd, 0, 1}}},
    {"   ", {{tkEnd, 0, 4}}},
    {".5+", {{tkNumber, 2, 3, 0.5L}, {tkPlus, 1, 4}, {tkEnd, 0, 4}}},
    {"5.", {{tkNumber, 2, 3, 5}, {tkEnd, 0, 3}}},
    {"1.2.3", {{tkNumber, 3, 4, 1.2L}, {tkNumber, 2, 6, 0.3L}, {tkEnd, 0, 6}}},
    {"1e3 1E+3 1E-0003", {{tkNumber, 3, 4, 1000}, {tkNumber, 4, 9, 1000}, {tkNumber, 7, 17, 0.001L}, {tkEnd, 0, 17}}},
    {"1E12345", {{tkNumber, 6, 7, 1E1234L}, {tkNumber, 1, 8, 5}, {tkEnd, 0, 8}}},
    {"12e", {{tkBad, 0, 4}}},  // conversion fails at the end of "12E"
    {"+-*/^()",
     {{tkPlus, 1, 2},
      {tkMinus, 1, 3},
      {tkTimes, 1, 4},
      {tkDivide, 1, 5},
      {tkPower, 1, 6},
      {tkOpenParen, 1, 7},
      {tkCloseParen, 1, 8},
      {tkEnd, 0, 8}}},
    {" !", {{tkErrorMark, 0, 2}}},  // not consumed
    {"X", {{tkBad, 0, 2}}},         // no handler: unknown, after the name
    {"_x", {{tkBad, 0, 1}}},
    {"a_1+", {{tkBad, 0, 4}}},
    {".", {{tkBad, 0, 1}}},
    {"~", {{tkBad, 0, 1}}},
    {"\xC3\xA9", {{tkBad, 0, 1}}},                                  // bytes above 127 are not letters
    {"-5", {{tkMinus, 1, 2}, {tkNumber, 1, 3, 5}, {tkEnd, 0, 3}}},  // no sign in a number
};

TEST(ScannerTest, Tokens) {
    for (const ScanCase& c : Cases) EXPECT_EQ(ScanAll(c.Text), c.Tokens) << '"' << c.Text << '"';
}

TEST(ScannerTest, FunctionNamesAreWholeIdentifiersInAnyCase) {
    struct Case {
        const char* Text;
        TFunction Function;
    };
    const Case cases[] = {
        {"abs", TFunction::Abs},     {"Atan", TFunction::Atan},   {"COS", TFunction::Cos}, {"exp", TFunction::Exp},
        {"ln", TFunction::Ln},       {"Round", TFunction::Round}, {"sin", TFunction::Sin}, {"sqrt", TFunction::Sqrt},
        {"Sqrt", TFunction::Sqrt},   {"SQRT", TFunction::Sqrt},   {"SQR", TFunction::Sqr}, {"sqr", TFunction::Sqr},
        {"TRUNC", TFunction::Trunc},
    };
    for (const Case& c : cases) {
        TMathParser parser;
        parser.ParseString = std::string(c.Text) + "(";
        EXPECT_EQ(parser.NextToken(), tkFunction) << c.Text;
        EXPECT_EQ(parser.CurrToken().Func, c.Function) << c.Text;
        EXPECT_EQ(parser.TokenLength(), int(std::string(c.Text).size())) << c.Text;
        EXPECT_EQ(parser.NextToken(), tkOpenParen) << c.Text;
    }
    for (const char* name : {"SINX", "sqrt2", "SQ", "SQRTT", "LN_", "ABSOLUTE"}) {
        TMathParser parser;
        std::string asked;
        parser.OnGetVar = [&](TMathParser&, const std::string& var, long double&, bool&) { asked = var; };
        parser.ParseString = name;
        EXPECT_EQ(parser.NextToken(), tkBad) << name;
        EXPECT_EQ(asked, name);
    }
}

}  // namespace
