#include "custom/CompiledFormula.h"

#include "custom/PixelFormula.h"

namespace {
bool JoinsNumber(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '.';
}
}  // namespace

bool NamesStandAlone(std::string_view formula) {
    for (std::size_t at = 0; at + 1 < formula.size(); ++at) {
        const char c = formula[at];
        if ((c != 'R' && c != 'G' && c != 'B') || formula[at + 1] != '1') continue;
        if (at > 0) {
            const char before = formula[at - 1];
            if (JoinsNumber(before)) return false;
            if ((before == '+' || before == '-') && at > 1 && (formula[at - 2] == 'E' || formula[at - 2] == 'e'))
                return false;
        }
        if (at + 2 < formula.size() && JoinsNumber(formula[at + 2])) return false;
    }
    return true;
}

TCompiledFormula::TCompiledFormula(const std::string& formula) : program_(formula, {"R1", "G1", "B1"}) {}

std::uint8_t TCompiledFormula::Evaluate(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
    const long double values[3] = {static_cast<long double>(r), static_cast<long double>(g),
                                   static_cast<long double>(b)};
    return ChannelValue(program_.Evaluate(values));
}

TCompiledFormulas::TCompiledFormulas(const std::vector<std::string>& formulas)
    : program_(formulas, {"R1", "G1", "B1"}), count_(formulas.size()) {}

void TCompiledFormulas::Evaluate(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t* out) const {
    const long double values[3] = {static_cast<long double>(r), static_cast<long double>(g),
                                   static_cast<long double>(b)};
    long double results[3];
    std::vector<long double> more;
    long double* into = results;
    if (count_ > 3) {
        more.resize(count_);
        into = more.data();
    }
    program_.Evaluate(values, into);
    for (std::size_t i = 0; i < count_; ++i) out[i] = ChannelValue(into[i]);
}
