#include "ParserMath.h"

#include "Errors.h"

#include <cmath>

namespace {

// Largest |t| for which e^t stays inside the long double range.
constexpr long double MaxExpArgument = 11356;
constexpr long double MaxTrigArgument = 9e18L;   // the hardware sine and cosine's range
constexpr long double MaxIntegerArgument = 1e9L;
constexpr long double MaxSqrArgument = 1e2466L;  // its square stays in range

// What a trapping floating unit would have done with a non-finite result: a finite
// operation that ends infinite overflowed, one that ends NaN was invalid. Infinities and
// NaNs that came in through variables pass through like the hardware passes them.
[[gnu::noinline]] void CheckNonFinite(long double result, long double left, long double right)
{
    if (std::isnan(result)) {
        if (!std::isnan(left) && !std::isnan(right)) throw EInvalidOp();
    } else if (std::isfinite(left) && std::isfinite(right)) {
        throw EOverflow();
    }
}

inline long double Checked(long double result, long double left, long double right)
{
    if (!std::isfinite(result)) [[unlikely]]
        CheckNonFinite(result, left, right);
    return result;
}

bool Within(long double x, long double limit) { return x >= -limit && x <= limit; }

}  // namespace

long double Add(long double left, long double right) { return Checked(left + right, left, right); }

long double Subtract(long double left, long double right)
{
    return Checked(left - right, left, right);
}

long double Multiply(long double left, long double right)
{
    return Checked(left * right, left, right);
}

long double Divide(long double left, long double right, bool& mathError)
{
    if (right == 0) {
        mathError = true;
        return left;
    }
    return Checked(left / right, left, right);
}

long double Power(long double base, long double exponent, bool& mathError)
{
    // 0^2 and (-8)^(1/3) are errors: the logarithm needs a positive base.
    if (!(base > 0)) {
        mathError = true;
        return base;
    }
    // The negated test also rejects a NaN, and an infinite t from a huge exponent.
    long double t = std::log(base) * exponent;
    if (!Within(t, MaxExpArgument)) {
        mathError = true;
        return base;
    }
    return std::exp(t);
}

long double ApplyFunction(TFunction function, long double x, bool& mathError)
{
    // Comparisons are written so that a NaN argument fails them.
    auto domain = [&](bool inside) {
        if (!inside) mathError = true;
        return inside;
    };
    switch (function) {
    case TFunction::Abs: return std::fabs(x);
    case TFunction::Atan: return std::atan(x);
    case TFunction::Cos: return domain(Within(x, MaxTrigArgument)) ? std::cos(x) : x;
    case TFunction::Exp: return domain(Within(x, MaxExpArgument)) ? std::exp(x) : x;
    case TFunction::Ln: return domain(x > 0) ? std::log(x) : x;
    // Halves go to the even neighbour: the default rounding mode.
    case TFunction::Round: return domain(Within(x, MaxIntegerArgument)) ? std::nearbyint(x) : x;
    case TFunction::Sin: return domain(Within(x, MaxTrigArgument)) ? std::sin(x) : x;
    case TFunction::Sqrt: return domain(x >= 0) ? std::sqrt(x) : x;
    case TFunction::Sqr: return domain(Within(x, MaxSqrArgument)) ? x * x : x;
    case TFunction::Trunc: return domain(Within(x, MaxIntegerArgument)) ? std::trunc(x) : x;
    }
    return x;
}
