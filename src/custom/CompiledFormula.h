#pragma once
// A channel formula parsed once into a program over R1, G1 and B1, for the formulas where that
// gives exactly what the plain rule (PixelFormula.h) gives: substituting the numbers into the
// text and parsing it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "parser/FormulaProgram.h"

// True when every "R1", "G1" and "B1" of the formula is a token of its own, so that the decimal
// text of any channel value put in its place scans as one number token, just as the name scans
// as one name, and the rest of the text scans as before. False when a neighbouring character
// would join the number: a letter, digit, "_" or "." on either side ("R12", "1R1", "R1.5",
// "GR1"), or an exponent's sign before it ("2E-R1" reads "2E-100" once replaced).
bool NamesStandAlone(std::string_view formula);

class TCompiledFormula {
public:
    // The formula must satisfy NamesStandAlone.
    explicit TCompiledFormula(const std::string& formula);

    // What TPixelFormula::Evaluate gives, bit for bit; it throws what that throws. Safe to call
    // from several threads at once.
    std::uint8_t Evaluate(std::uint8_t r, std::uint8_t g, std::uint8_t b) const;

private:
    TFormulaProgram program_;
};

// Several channel formulas compiled together, so that a subformula they share is worked out
// once. Each must satisfy NamesStandAlone.
class TCompiledFormulas {
public:
    explicit TCompiledFormulas(const std::vector<std::string>& formulas);
    std::size_t Count() const { return count_; }
    // Each formula's channel value into out[0 ..], as TCompiledFormula::Evaluate gives it.
    void Evaluate(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t* out) const;

private:
    TFormulaProgram program_;
    std::size_t count_;
};
