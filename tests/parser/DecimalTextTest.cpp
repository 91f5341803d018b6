// Decimal text to long double: correct rounding and error indexes.
#include "parser/DecimalText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cstdlib>
#include <random>
#include <string>

namespace {

struct ValueCase {
    const char* Text;
    long double Value;  // the compiler rounds the literal correctly
};

const ValueCase Values[] = {
    {"0", 0},
    {"000.000", 0},
    {"0E9999", 0},
    {".5", 0.5L},
    {"5.", 5},
    {"0.1", 0.1L},
    {"0.30000000000000000001", 0.30000000000000000001L},
    {"18446744073709551615", 18446744073709551615.0L},  // 2^64 - 1: rounds up
    {"1234567890123456789", 1234567890123456789.0L},
    {"12345678901234567890123", 12345678901234567890123.0L},
    {"3.14159265358979323846264338327950288", 3.14159265358979323846264338327950288L},
    {"1e27", 1e27L},
    {"1e28", 1e28L},
    {"1e-27", 1e-27L},
    {"1e-28", 1e-28L},
    {"123.456e-7", 123.456e-7L},
    {"1.18973149535723176502e4932", 1.18973149535723176502e4932L},  // the largest
    {"3.6451995318824746025e-4951", 3.6451995318824746025e-4951L},  // the smallest subnormal
    {"1e-5000", 0},
    {"0000000000000000000000000000001", 1},
};

TEST(DecimalTextTest, Values) {
    for (const ValueCase& c : Values) {
        TDecimalResult result = ConvertDecimal(c.Text);
        EXPECT_EQ(result.ErrorIndex, 0) << c.Text;
        EXPECT_EQ(result.Value, c.Value) << c.Text;
    }
}

TEST(DecimalTextTest, ErrorIndexes) {
    struct Case {
        const char* Text;
        int Index;
    };
    const Case cases[] = {
        {"", 1},    {".", 2},     {"E5", 1}, {"2E", 3},   {"1E+", 4},    {"1e-", 4},
        {".5E", 4}, {"1.2.3", 4}, {"1x", 2}, {"1E5x", 4}, {"1E4933", 1}, {"2E5000", 1},
    };
    for (const Case& c : cases) {
        TDecimalResult result = ConvertDecimal(c.Text);
        EXPECT_EQ(result.ErrorIndex, c.Index) << c.Text;
        EXPECT_EQ(result.Value, 0) << c.Text;
    }
}

// The fast exact path must agree bit for bit with the C library's correctly rounded strtold.
TEST(DecimalTextTest, AgreesWithCorrectlyRoundedLibrary) {
    locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    std::mt19937_64 random(20240611);
    for (int n = 0; n < 200000; ++n) {
        std::string text;
        int integerDigits = int(random() % 12);
        int fractionDigits = int(random() % 12);
        if (integerDigits + fractionDigits == 0) integerDigits = 1;
        for (int i = 0; i < integerDigits; ++i) text += char('0' + random() % 10);
        if (fractionDigits > 0) text += '.';
        for (int i = 0; i < fractionDigits; ++i) text += char('0' + random() % 10);
        if (random() % 2) text += "E" + std::to_string(int(random() % 81) - 40);
        long double expected = strtold_l(text.c_str(), nullptr, cLocale);
        TDecimalResult result = ConvertDecimal(text);
        ASSERT_EQ(result.ErrorIndex, 0) << text;
        ASSERT_EQ(result.Value, expected) << text;
    }
    freelocale(cLocale);
}

}  // namespace
