#include "parser/ParserMath.h"

#include "common/Errors.h"

#include <cmath>

namespace {

// Largest |t| for which e^t stays inside the long double range.
constexpr long double MaxExpArgument = 11356;
constexpr long double MaxTrigArgument = 9e18L;  // the hardware sine and cosine's range
constexpr long double MaxIntegerArgument = 1e9L;
constexpr long double MaxSqrArgument = 1e2466L;  // its square stays in range

bool Within(long double x, long double limit) { return x >= -limit && x <= limit; }

}  // namespace

void CheckNonFinite(long double result, long double left, long double right) {
    if (std::isnan(result)) {
        if (!std::isnan(left) && !std::isnan(right)) throw EInvalidOp();
    } else if (std::isfinite(left) && std::isfinite(right)) {
        throw EOverflow();
    }
}

long double Power(long double base, long double exponent, bool& mathError) {
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

long double ApplyFunction(TFunction function, long double x, bool& mathError) {
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
