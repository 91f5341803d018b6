#include "parser/DecimalText.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// 10^0 .. 10^27 are exact in long double (5^27 < 2^64).
constexpr int MaxExactPower = 27;
constexpr auto PowersOfTen = [] {
    struct {
        long double Value[MaxExactPower + 1];
    } table{};
    long double p = 1;
    for (int k = 0; k <= MaxExactPower; ++k, p *= 10) table.Value[k] = p;
    return table;
}();

// Up to 19 decimal digits fit in 64 bits, and so exactly in the 64-bit significand.
constexpr int MaxExactDigits = 19;

// glibc's strtold is correctly rounded; the explicit "C" locale keeps "." the decimal point
// whatever the program's locale. Only reached for long mantissas or large exponents.
long double ConvertSlowly(std::string_view text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    char buffer[128];
    std::string longText;
    const char* start = buffer;
    if (text.size() < sizeof buffer) {
        text.copy(buffer, text.size());
        buffer[text.size()] = '\0';
    } else {
        longText.assign(text);
        start = longText.c_str();
    }
    return strtold_l(start, nullptr, cLocale);
}

}  // namespace

TDecimalResult ConvertDecimal(std::string_view text) {
    const std::size_t length = text.size();
    std::size_t i = 0;
    std::uint64_t mantissa = 0;
    int digits = 0;  // significant digits gathered into mantissa
    int scale = 0;   // power of ten that mantissa is to be multiplied by
    bool anyDigit = false;
    bool exact = true;  // false once a significant digit did not fit in mantissa

    auto takeDigit = [&](int d, bool fraction) {
        anyDigit = true;
        if (mantissa == 0 && d == 0) {
            if (fraction) --scale;  // a leading zero only moves the point
            return;
        }
        if (digits == MaxExactDigits) {
            exact = false;
            return;
        }
        mantissa = mantissa * 10 + std::uint64_t(d);
        ++digits;
        if (fraction) --scale;
    };

    for (; i < length && IsDigit(text[i]); ++i) takeDigit(text[i] - '0', false);
    if (i < length && text[i] == '.')
        for (++i; i < length && IsDigit(text[i]); ++i) takeDigit(text[i] - '0', true);
    if (!anyDigit) return {0, int(i) + 1};

    if (i < length && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool negative = false;
        if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        if (i == length || !IsDigit(text[i])) return {0, int(i) + 1};
        int exponent = 0;
        for (; i < length && IsDigit(text[i]); ++i)
            if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
        scale += negative ? -exponent : exponent;
    }
    if (i < length) return {0, int(i) + 1};

    long double value;
    if (mantissa == 0)
        value = 0;
    else if (exact && scale >= 0 && scale <= MaxExactPower)
        value = (long double)mantissa * PowersOfTen.Value[scale];  // one rounding: correct
    else if (exact && scale < 0 && scale >= -MaxExactPower)
        value = (long double)mantissa / PowersOfTen.Value[-scale];
    else
        value = ConvertSlowly(text);
    if (std::isinf(value)) return {0, 1};
    return {value, 0};
}
