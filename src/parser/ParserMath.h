#pragma once
// The arithmetic of formulas, in long double.
//
// A domain error (division by zero, a power or function argument outside its range) sets
// `mathError` and leaves the first operand as the value: the parse goes on and only its
// result is discarded. Results beyond the long double range throw EOverflow, an invalid
// operation (such as infinity minus infinity from a variable) throws EInvalidOp.
#include "Token.h"

long double Add(long double left, long double right);
long double Subtract(long double left, long double right);
long double Multiply(long double left, long double right);
long double Divide(long double left, long double right, bool& mathError);

// base ^ exponent, as e^(ln(base) × exponent) for a positive base.
long double Power(long double base, long double exponent, bool& mathError);

long double ApplyFunction(TFunction function, long double x, bool& mathError);
