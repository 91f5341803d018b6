#pragma once
// The syntax check run before a custom filter is applied, so that a mistyped formula is
// reported instead of painting its channel black.
#include <optional>
#include <string>

#include "common/Errors.h"
#include "custom/FilterFormulas.h"

// What is wrong with one formula (spaces already removed), or nothing. The formula is
// parsed once with every "R1", "G1" and "B1" replaced by "00", so that positions count in
// the formula as written. Only syntax errors count: a domain error such as SQRT(-1) is no
// mistake, and a formula whose trial parse overflows is left for the run to report.
// Example: "Red formula: an operator or ) is expected at position 5."
std::optional<std::string> FormulaSyntaxError(const std::string& channelName, const std::string& formula);

// The first of the red, green and blue formulas' errors, or nothing.
std::optional<std::string> FormulasSyntaxError(const TFilterFormulas& formulas);

// A formula that does not parse, reported by the batch tool as a failed step.
class EFormulaSyntax : public ECorvalux {
public:
    using ECorvalux::ECorvalux;
};

// Throws EFormulaSyntax with the message of FormulasSyntaxError.
void RequireValidFormulas(const TFilterFormulas& formulas);
