#pragma once
// Decimal text to long double, independent of the locale.
#include <string_view>

struct TDecimalResult {
    long double Value;  // the correctly rounded value; 0 when the text did not convert
    int ErrorIndex;     // 0 when converted, else the 1-based index of the failing character
};

// Converts `text` of the form  digits ["." digits] [("E"|"e") ["+"|"-"] digits]  (at least
// one mantissa digit; a leading "." reads as "0.") to the nearest long double, ties to even.
// A value too small for the range becomes 0 or a subnormal; a value too large fails with
// index 1. Where the text stops being a number, ErrorIndex is that character's index, or
// the length + 1 when the text ends while a digit is still required ("2E" fails at 3).
TDecimalResult ConvertDecimal(std::string_view text);
