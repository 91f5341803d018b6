#pragma once
// The arithmetic of formulas, in long double.
//
// A domain error (division by zero, a power or function argument outside its range) sets
// `mathError` and leaves the first operand as the value: the parse goes on and only its
// result is discarded. Results beyond the long double range throw EOverflow, an invalid
// operation (such as infinity minus infinity from a variable) throws EInvalidOp.
#include <cmath>

#include "parser/Token.h"

// What a trapping floating unit would have done with a non-finite result: a finite
// operation that ends infinite overflowed, one that ends NaN was invalid. Infinities and
// NaNs that came in through variables pass through like the hardware passes them.
[[gnu::noinline]] void CheckNonFinite(long double result, long double left, long double right);

// The four operations are inline: a compiled formula (FormulaProgram.h) runs little else.
inline long double Checked(long double result, long double left, long double right) {
    if (!std::isfinite(result)) [[unlikely]]
        CheckNonFinite(result, left, right);
    return result;
}

inline long double Add(long double left, long double right) { return Checked(left + right, left, right); }
inline long double Subtract(long double left, long double right) { return Checked(left - right, left, right); }
inline long double Multiply(long double left, long double right) { return Checked(left * right, left, right); }
inline long double Divide(long double left, long double right, bool& mathError) {
    if (right == 0) {
        mathError = true;
        return left;
    }
    return Checked(left / right, left, right);
}

// base ^ exponent, as e^(ln(base) × exponent) for a positive base.
long double Power(long double base, long double exponent, bool& mathError);

long double ApplyFunction(TFunction function, long double x, bool& mathError);
